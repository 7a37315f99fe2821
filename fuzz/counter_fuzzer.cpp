// Fuzz target of one counter (STEPCOUNT_FUZZ_LANGUAGE: 1 VB, 2 C family,
// 3 SQL, 4 HTML, 5 COBOL). The input is the content of a source file. Each
// input is counted
//   - as it is, and the counter's record is checked against an independent
//     restatement of the language's rules over a plain split into lines,
//     line by line, and against the sums every record keeps;
//   - again after a file that leaves every line state open (a block comment,
//     a script, a division), which must change nothing;
//   - behind a filler line that puts its first bytes across the boundary of
//     the line reader's chunks, sometimes splitting a CR LF there;
// and its comment ratio is printed as the result row prints it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "counters/counters.h"
#include "fuzz_support.h"
#include "reference_models.h"
#include "report/result_format.h"

namespace stepcount::fuzz {
namespace {

#if STEPCOUNT_FUZZ_LANGUAGE == 1
struct Target {
    using Counter = mVBCalc_c;
    static constexpr const char* kNames[] = {"f.bas", "f.frm"};
    static constexpr int kKinds[] = {kVBModule, kVBForm};
    static VBLineRules rules() { return VBLineRules(); }
    static VBModel model(int kind) { return {kind != kVBForm}; }
    static constexpr ResultLayout kLayout = ResultLayout::VB;
};
#elif STEPCOUNT_FUZZ_LANGUAGE == 2 || STEPCOUNT_FUZZ_LANGUAGE == 3
struct Target {
#if STEPCOUNT_FUZZ_LANGUAGE == 2
    using Counter = mVCCalc_c;
    static constexpr const char* kNames[] = {"f.c"};
    static constexpr std::string_view kLineComment = CFamilyLineRules::kCLineComment;
#else
    using Counter = mSQLCalc_c;
    static constexpr const char* kNames[] = {"f.sql"};
    static constexpr std::string_view kLineComment = CFamilyLineRules::kSQLLineComment;
#endif
    static constexpr int kKinds[] = {0};
    static CFamilyLineRules rules() { return CFamilyLineRules(kLineComment); }
    static CFamilyModel model(int) { return {kLineComment == "//" ? "//" : "--"}; }
    static constexpr ResultLayout kLayout = ResultLayout::Standard;
};
#elif STEPCOUNT_FUZZ_LANGUAGE == 4
struct Target {
    using Counter = mHTMLCalc_c;
    static constexpr const char* kNames[] = {"f.html"};
    static constexpr int kKinds[] = {0};
    static HTMLLineRules rules() { return HTMLLineRules(); }
    static HTMLModel model(int) { return {}; }
    static constexpr ResultLayout kLayout = ResultLayout::Standard;
};
#elif STEPCOUNT_FUZZ_LANGUAGE == 5
struct Target {
    using Counter = mCOBOLCalc_c;
    static constexpr const char* kNames[] = {"f.cob"};
    static constexpr int kKinds[] = {0};
    static COBOLLineRules rules() { return COBOLLineRules(); }
    static COBOLModel model(int) { return {}; }
    static constexpr ResultLayout kLayout = ResultLayout::COBOL;
};
#else
#error "STEPCOUNT_FUZZ_LANGUAGE must be 1 to 5"
#endif

using Record = typename Target::Counter::Record;

// Every count of a record, in a fixed order, the ratio left out.
template <class R>
std::vector<std::uint32_t> countsOf(const R& r) {
    std::vector<std::uint32_t> counts{r.ulReadLines, r.ulCommentLines, r.ulBlankLines,
                                      r.ulRealSteps, r.ulTotalSteps};
    if constexpr (requires { r.ulPropertySteps; }) {
        counts.push_back(static_cast<std::uint32_t>(r.iFileType));
        counts.push_back(r.ulPropertySteps);
    }
    if constexpr (requires { r.ulDebugLines; }) {
        counts.insert(counts.end(), {r.ulDebugLines, r.ulIdentDivLines, r.ulEnvDivLines,
                                     r.ulDataDivLines, r.ulProcDivLines});
    }
    return counts;
}

std::string describe(const Record& r) {
    std::string text;
    for (const std::uint32_t count : countsOf(r)) text += std::to_string(count) + ' ';
    return text + std::to_string(r.dCommentRate);
}

bool sameRecord(const Record& a, const Record& b) {
    return countsOf(a) == countsOf(b) &&
           std::memcmp(&a.dCommentRate, &b.dCommentRate, sizeof(double)) == 0;
}

// The record the counter must give for `windows`, from the model, checking
// the counter's own rules against the model at every line on the way.
template <class R = Record>
R expectedRecord(const std::vector<std::string>& windows, int kind) {
    auto model = Target::model(kind);
    auto rules = Target::rules();
    rules.start(kind);
    R expected{};
    if constexpr (requires { expected.iFileType; }) expected.iFileType = kind;
    for (std::size_t line = 0; line < windows.size(); ++line) {
        const LineVerdict wanted = model.classify(windows[line]);
        const LineVerdict given = rules.classify(windows[line]);
        if (!(wanted == given)) {
            fail("line rules differ from the model at line", std::to_string(line + 1));
        }
        ++expected.ulReadLines;
        addLine(expected, wanted);
    }
    expected.ulTotalSteps = expected.ulRealSteps + expected.ulCommentLines + expected.ulBlankLines;
    if (expected.ulTotalSteps != 0) {
        expected.dCommentRate = static_cast<double>(expected.ulCommentLines + expected.ulBlankLines) /
                                static_cast<double>(expected.ulTotalSteps) * 100.0;
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
void checkRatioColumn(const Record& r) {
    std::string row;
    appendFileRow(row, Target::kLayout, "f", "n", 1, "d", FileCount{r});
    std::size_t start = 0;
    for (int field = 0; field < 10; ++field) start = row.find(',', start) + 1;
    const std::size_t end = row.find_first_of(",\r", start);
    char printed[64];
    std::snprintf(printed, sizeof printed, "%03.1f", r.dCommentRate);
    check(row.substr(start, end - start) == printed, "ratio column differs from %03.1f:", row);
}

Record count(typename Target::Counter& counter, const std::string& path) {
    Record r{};
    check(counter.fiCalcFile(path, r) == kCounted, "not counted:", path);
    return r;
}

// A file that leaves every state of every language open at its end.
constexpr std::string_view kOpenStates =
    "/*\n<script>\n<!--\n       IDENTIFICATION DIVISION.\n       DATA DIVISION.\n";

void countAndCheck(std::string_view bytes) {
    static FailingDisplay display;
    static typename Target::Counter counter(display);
    static const std::string statesPath = [] {
        const std::string path = scratchPath(std::string("states") + Target::kNames[0]);
        writeFile(path, kOpenStates);
        return path;
    }();

    const std::vector<std::string> windows = referenceWindows(bytes);
    for (std::size_t i = 0; i < std::size(Target::kNames); ++i) {
        const int kind = Target::kKinds[i];
        const std::string path = scratchPath(Target::kNames[i]);
        writeFile(path, bytes);
        const Record first = count(counter, path);
        const Record expected = expectedRecord(windows, kind);
        check(sameRecord(first, expected), "record differs from the model:",
              describe(first) + " instead of " + describe(expected));
        checkSums(first, windows);
        checkRatioColumn(first);

        count(counter, statesPath);
        check(sameRecord(count(counter, path), first), "a previous file changed the count");
    }

    // The same bytes from just before a chunk boundary of the line reader.
    const std::size_t back = bytes.empty() ? 1 : 1 + (static_cast<unsigned char>(bytes[0]) + bytes.size()) % bytes.size();
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
    for (std::size_t i = 0; i < std::size(Target::kNames); ++i) {
        const std::string path = scratchPath(Target::kNames[i]);
        writeFile(path, shifted);
        const Record r = count(counter, path);
        const Record expected = expectedRecord(shiftedWindows, Target::kKinds[i]);
        check(sameRecord(r, expected), "record across a chunk boundary differs from the model:",
              describe(r) + " instead of " + describe(expected));
    }
}

}  // namespace
}  // namespace stepcount::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    stepcount::fuzz::countAndCheck(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
