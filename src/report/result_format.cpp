#include "report/result_format.h"

#include <algorithm>
#include <charconv>
#include <type_traits>

#include "platform/texts.h"

namespace stepcount {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kEmptyCountColumns = ",,,,,,,,,";          // nine commas
constexpr std::string_view kEmptyCOBOLCountColumns = ",,,,,,,,,,,,";  // twelve

template <class Number>
void appendNumber(std::string& row, Number value) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    row += ',';
    row.append(digits, end);
}

// One digit after the point, at least three characters ("%03.1f"); the
// shortest value, 0.0, already has three. Locale-independent.
void appendRatio(std::string& row, double ratio) {
    char digits[64];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, ratio, std::chars_format::fixed, 1).ptr;
    row += ',';
    for (auto width = end - digits; width < 3; ++width) row += '0';
    row.append(digits, end);
}

template <class Record>
void appendCommonCounts(std::string& row, const Record& record) {
    appendNumber(row, record.ulReadLines);
    appendNumber(row, record.ulCommentLines);
    appendNumber(row, record.ulBlankLines);
    appendNumber(row, record.ulRealSteps);
    appendNumber(row, record.ulTotalSteps);
    appendRatio(row, record.dCommentRate);
}

void appendCounts(std::string& row, ResultLayout layout, const FileCount& count) {
    std::visit(
        [&](const auto& record) {
            using Record = std::decay_t<decltype(record)>;
            if constexpr (!std::is_same_v<Record, std::monostate>) appendCommonCounts(row, record);
            if constexpr (std::is_same_v<Record, VBCountResult>) {
                appendNumber(row, record.ulPropertySteps);
            } else if constexpr (std::is_same_v<Record, COBOLCountResult>) {
                appendNumber(row, record.ulDebugLines);
                appendNumber(row, record.ulIdentDivLines);
                appendNumber(row, record.ulEnvDivLines);
                appendNumber(row, record.ulDataDivLines);
                appendNumber(row, record.ulProcDivLines);
            } else if constexpr (std::is_same_v<Record, CountResult>) {
                if (layout == ResultLayout::MultiLanguage) row += ',';
            }
        },
        count);
}

void appendLeadingFields(std::string& row, std::string_view folder, std::string_view name,
                         std::string_view word) {
    appendField(row, folder);
    row += ',';
    appendField(row, name);
    row += ',';
    row += word;
}

std::string_view emptyCountColumns(ResultLayout layout) {
    return layout == ResultLayout::COBOL ? kEmptyCOBOLCountColumns : kEmptyCountColumns;
}

}  // namespace

ResultLayout layoutOf(const LanguageSet& languages) {
    if (languages.isSeveral()) return ResultLayout::MultiLanguage;
    switch (languageOf(languages.single()).columns) {
        case CountColumns::Standard: return ResultLayout::Standard;
        case CountColumns::VB: return ResultLayout::VB;
        case CountColumns::COBOL: return ResultLayout::COBOL;
    }
    return ResultLayout::Standard;
}

std::string_view headerText(ResultLayout layout) {
    switch (layout) {
        case ResultLayout::Standard: return texts::kStandardHeader;
        case ResultLayout::VB:
        case ResultLayout::MultiLanguage: return texts::kVBHeader;
        case ResultLayout::COBOL: return texts::kCOBOLHeader;
    }
    return texts::kStandardHeader;
}

void appendField(std::string& row, std::string_view field) {
    // Every row passes here twice: one plain pass over the bytes.
    const bool plain = std::none_of(field.begin(), field.end(), [](char c) {
        return c == ',' || c == '"' || c == '\r' || c == '\n';
    });
    if (plain) {
        row += field;
        return;
    }
    row += '"';
    for (const char c : field) {
        if (c == '"') row += '"';
        row += c;
    }
    row += '"';
}

void appendFolderRow(std::string& row, ResultLayout layout, std::string_view folder,
                     std::string_view name) {
    appendLeadingFields(row, folder, name, texts::kDirectoryWord);
    row += emptyCountColumns(layout);
    row += kLineEnd;
}

void appendFileRow(std::string& row, ResultLayout layout, std::string_view folder,
                   std::string_view name, std::uint64_t size, std::string_view date,
                   const FileCount& count) {
    appendLeadingFields(row, folder, name, texts::kFileWord);
    if (!isCounted(count)) {
        row += emptyCountColumns(layout);
    } else {
        appendNumber(row, size);
        row += ',';
        row += date;
        appendCounts(row, layout, count);
    }
    row += kLineEnd;
}

std::string withCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 4);
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace stepcount
