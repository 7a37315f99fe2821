// Fuzz target of the type checks. The input's first byte chooses the
// languages of a multi-language run, the rest is a path. For every language
// of the language table, its counter's check must accept the path exactly
// when the text after its last "." is, ASCII letters lower-cased, one of the
// language's extensions, and give that extension's kind of file; no check may
// show a dialog; at most one language accepts any path; and the
// multi-language dispatch must name the language that accepted it when it is
// one of the chosen. The path is also written as a result-file field, which
// must read back as the same bytes.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "counters/languages.h"
#include "fuzz_support.h"
#include "report/result_format.h"
#include "runs/language_counting.h"

namespace stepcount::fuzz {
namespace {

// The extension of `path` among `extensions`, compared as the type checks
// must compare it.
const AcceptedExtension* extensionOf(std::string_view path,
                                     std::span<const AcceptedExtension> extensions) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return nullptr;
    std::string extension(path.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    for (const AcceptedExtension& accepted : extensions) {
        if (extension == accepted.extension) return &accepted;
    }
    return nullptr;
}

// Reads back one CSV field written at the start of `row`; false when it is
// not a well-formed field followed by the end of the row.
bool readField(std::string_view row, std::string& field) {
    field.clear();
    if (row.empty() || row[0] != '"') {
        if (row.find_first_of(",\"\r\n") != std::string_view::npos) return false;
        field.assign(row);
        return true;
    }
    for (std::size_t i = 1; i < row.size(); ++i) {
        if (row[i] != '"') {
            field += row[i];
            continue;
        }
        if (i + 1 == row.size()) return true;
        if (row[i + 1] != '"') return false;
        field += '"';
        ++i;
    }
    return false;
}

void checkPath(int languageBits, const std::string& path) {
    static FailingDisplay display;
    static const std::vector<std::unique_ptr<LanguageCounter>> counters = [] {
        std::vector<std::unique_ptr<LanguageCounter>> made;
        for (const Language& language : languages()) made.push_back(language.makeCounter(display));
        return made;
    }();

    LanguageId accepting = LanguageId::None;
    int acceptedKind = 0;
    for (std::size_t i = 0; i < languages().size(); ++i) {
        const Language& language = languages()[i];
        const AcceptedExtension* expected = extensionOf(path, language.extensions);
        int kind = -7;
        const int status = counters[i]->checkType(path, kind);
        check(status == (expected != nullptr ? kCounted : kNotOfLanguage),
              "type check wrong:", std::string(language.word) + " " + path);
        if (expected == nullptr) continue;
        check(kind == expected->fileKind, "kind of file wrong:", std::string(language.word) + " " + path);
        check(accepting == LanguageId::None, "two languages accept one path:", path);
        accepting = language.id;
        acceptedKind = kind;
    }

    // The chosen languages: those that may be counted together whose bit is
    // set in `languageBits`.
    const std::optional<LanguageSet> chosen = LanguageSet::fromLanguageCode(kMultiLanguage + languageBits);
    if (chosen) {
        LanguageCounters several(*chosen, display);
        int kind = -7;
        const LanguageId dispatched = several.ChkMultiLangType(path, kind);
        const LanguageId expected = chosen->contains(accepting) ? accepting : LanguageId::None;
        check(dispatched == expected, "multi-language dispatch wrong:", path);
        check(expected == LanguageId::None || kind == acceptedKind, "multi-language kind wrong:", path);
    }

    std::string row;
    appendField(row, path);
    std::string field;
    check(readField(row, field) && field == path, "field does not read back:", row);
}

}  // namespace
}  // namespace stepcount::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // A non-empty set of the bits of the languages that may be counted
    // together.
    static const int allBits = [] {
        int bits = 0;
        for (const stepcount::Language& language : stepcount::languages()) bits |= language.severalBit;
        return bits;
    }();
    const int languageBits = 1 + data[0] % allBits;
    stepcount::fuzz::checkPath(languageBits,
                               std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    return 0;
}
