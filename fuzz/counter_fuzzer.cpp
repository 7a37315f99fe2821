// Fuzz target of one language's counter (STEPCOUNT_FUZZ_LANGUAGE: the
// language's number in the language table, which gives its counter, its
// extensions with the kinds of file they name, and its result layout). The
// input is the content of a source file. For a file of every kind of the
// language, each input is counted
//   - as it is, and the record is checked against the plain restatement of
//     the language's line rules (fuzz/reference_models.h) over a plain split
//     into lines, and against the sums every record keeps;
//   - again after a file that leaves every line state open (a block comment,
//     a script, a division), which must change nothing;
//   - behind a filler line that puts its first bytes across the boundary of
//     the line reader's chunks, sometimes splitting a CR LF there;
// and its comment ratio is printed as the result row prints it.
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "counters/languages.h"
#include "fuzz_support.h"
#include "platform/line_reader.h"
#include "reference_models.h"
#include "report/result_format.h"

#ifndef STEPCOUNT_FUZZ_LANGUAGE
#error "STEPCOUNT_FUZZ_LANGUAGE must name a language of the table"
#endif

namespace stepcount::fuzz {
namespace {

constexpr auto kLanguage = static_cast<LanguageId>(STEPCOUNT_FUZZ_LANGUAGE);

// Every count a record may hold (zero where its kind has none) and its ratio.
struct Counts {
    std::uint32_t read = 0, comment = 0, blank = 0, real = 0, total = 0;
    std::int32_t fileKind = 0;
    std::uint32_t property = 0, debug = 0;
    std::array<std::uint32_t, 4> divisions{};   // identification, environment, data, procedure
    double ratio = 0.0;

    bool operator==(const Counts&) const = default;

    std::string describe() const {
        std::string text;
        for (const std::uint32_t n : {read, comment, blank, real, total, property, debug}) {
            text += std::to_string(n) + ' ';
        }
        for (const std::uint32_t n : divisions) text += std::to_string(n) + ' ';
        return text + "kind " + std::to_string(fileKind) + " ratio " + std::to_string(ratio);
    }
};

Counts countsOf(const FileCount& count) {
    Counts c;
    std::visit(
        [&c](const auto& r) {
            if constexpr (std::is_same_v<std::decay_t<decltype(r)>, std::monostate>) {
                fail("no counts");
            } else {
                c = {r.ulReadLines, r.ulCommentLines, r.ulBlankLines, r.ulRealSteps, r.ulTotalSteps};
                c.ratio = r.dCommentRate;
                if constexpr (requires { r.ulPropertySteps; }) {
                    c.fileKind = r.iFileType;
                    c.property = r.ulPropertySteps;
                }
                if constexpr (requires { r.ulDebugLines; }) {
                    c.debug = r.ulDebugLines;
                    c.divisions = {r.ulIdentDivLines, r.ulEnvDivLines, r.ulDataDivLines,
                                   r.ulProcDivLines};
                }
            }
        },
        count);
    return c;
}

// The counts the model gives for `windows`, lines of a file of `fileKind`.
Counts expectedCounts(const std::vector<std::string>& windows, int fileKind) {
    std::optional<LineModel> model = modelOf(kLanguage, fileKind);
    if (!model) fail("no model of language", std::to_string(STEPCOUNT_FUZZ_LANGUAGE));
    Counts expected;
    expected.fileKind = fileKind;
    for (const std::string& window : windows) {
        const LineVerdict verdict = classify(*model, window);
        ++expected.read;
        switch (verdict.lineClass) {
            case LineClass::Blank: ++expected.blank; break;
            case LineClass::Comment: ++expected.comment; break;
            case LineClass::Code: ++expected.real; break;
            case LineClass::PropertyDefinition: ++expected.property; break;
            case LineClass::Debug: ++expected.debug; break;
            case LineClass::Continuation: break;
        }
        if (verdict.division != Division::None) {
            ++expected.divisions[static_cast<std::size_t>(verdict.division) - 1];
        }
    }
    expected.total = expected.real + expected.comment + expected.blank;
    if (expected.total != 0) {
        expected.ratio = static_cast<double>(expected.comment + expected.blank) /
                         static_cast<double>(expected.total) * 100.0;
    }
    return expected;
}

// The sums that every record keeps, whatever its lines.
template <class R>
void checkSums(const R& r, const std::vector<std::string>& windows) {
    check(r.ulReadLines == windows.size(), "lines read differ from the lines of the file");
    check(r.ulTotalSteps == r.ulRealSteps + r.ulCommentLines + r.ulBlankLines,
          "total is not real + comment + blank");
    if constexpr (requires { r.ulPropertySteps; }) {
        check(r.ulReadLines == r.ulPropertySteps + r.ulTotalSteps, "VB: read != property + total");
        check(r.iFileType == kVBForm || r.ulPropertySteps == 0, "VB: module with property steps");
    } else if constexpr (requires { r.ulDebugLines; }) {
        std::uint32_t continuations = 0;
        for (const std::string& w : windows) continuations += w.size() >= 7 && w[6] == '-';
        check(r.ulReadLines == r.ulTotalSteps + r.ulDebugLines + continuations,
              "COBOL: read != total + debug + continuation");
        check(r.ulIdentDivLines + r.ulEnvDivLines + r.ulDataDivLines + r.ulProcDivLines <=
                  r.ulReadLines - continuations,
              "COBOL: division lines exceed the lines read");
    } else {
        check(r.ulTotalSteps == r.ulReadLines, "total differs from lines read");
    }
    check(r.dCommentRate >= 0.0 && r.dCommentRate <= 100.0, "ratio out of range");
}

// The ratio column of the counted row must read as "%03.1f" prints it.
void checkRatioColumn(const FileCount& count) {
    std::string row;
    appendFileRow(row, layoutOf(LanguageSet::alone(kLanguage)), "f", "n", 1, "d", count);
    std::size_t start = 0;
    for (int field = 0; field < 10; ++field) start = row.find(',', start) + 1;
    const std::size_t end = row.find_first_of(",\r", start);
    char printed[64];
    std::snprintf(printed, sizeof printed, "%03.1f", countsOf(count).ratio);
    check(row.substr(start, end - start) == printed, "ratio column differs from %03.1f:", row);
}

// A file name for every kind of file the language has, from the first
// extension of each kind.
struct KindFile {
    std::string name;
    int fileKind;
};
std::vector<KindFile> kindFiles() {
    std::vector<KindFile> files;
    for (const AcceptedExtension& accepted : languageOf(kLanguage).extensions) {
        bool seen = false;
        for (const KindFile& file : files) seen = seen || file.fileKind == accepted.fileKind;
        if (!seen) files.push_back({"f." + std::string(accepted.extension), accepted.fileKind});
    }
    return files;
}

FileCount count(const std::string& path) {
    static FailingDisplay display;
    static const std::unique_ptr<LanguageCounter> counter = languageOf(kLanguage).makeCounter(display);
    FileCount counted;
    FileFacts facts;
    check(counter->count(FileLocation(path), counted, facts) == kCounted, "not counted:", path);
    return counted;
}

// A file that leaves every state of every language open at its end.
constexpr std::string_view kOpenStates =
    "/*\n<script>\n<!--\n       IDENTIFICATION DIVISION.\n       DATA DIVISION.\n";

void countAndCheck(std::string_view bytes) {
    static const std::vector<KindFile> files = kindFiles();
    static const std::string statesPath = [] {
        const std::string path = scratchPath("states" + files.front().name);
        writeFile(path, kOpenStates);
        return path;
    }();

    const std::vector<std::string> windows = referenceWindows(bytes);
    for (const KindFile& file : files) {
        const std::string path = scratchPath(file.name);
        writeFile(path, bytes);
        const FileCount first = count(path);
        const Counts expected = expectedCounts(windows, file.fileKind);
        check(countsOf(first) == expected, "record differs from the model:",
              file.name + ": " + countsOf(first).describe() + " instead of " + expected.describe());
        std::visit([&](const auto& r) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(r)>, std::monostate>) checkSums(r, windows);
        }, first);
        checkRatioColumn(first);

        count(statesPath);
        check(countsOf(count(path)) == expected, "a previous file changed the count");
    }

    // The same bytes from just before a chunk boundary of the line reader.
    const std::size_t back =
        bytes.empty() ? 1 : 1 + (static_cast<unsigned char>(bytes[0]) + bytes.size()) % bytes.size();
    const std::size_t fillerSize = LineReader::kChunkSize - std::min(back, LineReader::kChunkSize - 2);
    const bool crFirst = bytes.size() % 2 == 0;
    std::string shifted(fillerSize - 1, 'x');
    shifted += crFirst ? '\r' : '\n';
    shifted += bytes;
    // The filler's own window, then the input's lines; a CR at the end of
    // the filler takes an LF at the start of the input with it.
    std::vector<std::string> shiftedWindows{std::string(256, 'x')};
    const bool lfTaken = crFirst && !bytes.empty() && bytes[0] == '\n';
    for (std::string& window : referenceWindows(bytes.substr(lfTaken ? 1 : 0))) {
        shiftedWindows.push_back(std::move(window));
    }
    for (const KindFile& file : files) {
        const std::string path = scratchPath(file.name);
        writeFile(path, shifted);
        const Counts counted = countsOf(count(path));
        const Counts expected = expectedCounts(shiftedWindows, file.fileKind);
        check(counted == expected, "record across a chunk boundary differs from the model:",
              file.name + ": " + counted.describe() + " instead of " + expected.describe());
    }
}

}  // namespace
}  // namespace stepcount::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    stepcount::fuzz::countAndCheck(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
