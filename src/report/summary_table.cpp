#include "report/summary_table.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <variant>

namespace stepcount {

namespace {

constexpr std::string_view kLanguageHeading = "Language";
constexpr std::string_view kTotalLabel = "Total";
constexpr std::array<std::string_view, 7> kHeadings = {"Files", "Lines", "Comment", "Blank",
                                                       "Code",  "Total", "Comment %"};
constexpr std::string_view kGap = "  ";

// The comment ratio as the result file gives it: comment and blank lines
// over the total steps, in percent, one digit after the point.
std::string ratioText(std::uint64_t commentAndBlank, std::uint64_t total) {
    const double ratio = total == 0 ? 0.0
                                    : static_cast<double>(commentAndBlank) /
                                          static_cast<double>(total) * 100.0;
    char digits[64];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, ratio, std::chars_format::fixed, 1).ptr;
    return std::string(digits, end);
}

void padLeft(std::string& line, std::string_view text, std::size_t width) {
    line.append(width > text.size() ? width - text.size() : 0, ' ');
    line += text;
}

}  // namespace

void SummaryTable::Totals::add(const Totals& other) {
    files += other.files;
    lines += other.lines;
    comment += other.comment;
    blank += other.blank;
    code += other.code;
    total += other.total;
}

void SummaryTable::onRunStart(const RunStart& start) {
    rows_.clear();
    for (const LanguageId id : start.languages.members()) rows_.push_back({id, {}});
}

void SummaryTable::onFile(const WalkedFile& file) {
    if (!isCounted(file.count)) return;
    auto row = std::find_if(rows_.begin(), rows_.end(),
                            [&](const LanguageTotals& r) { return r.language == file.language; });
    if (row == rows_.end()) return;
    Totals& totals = row->totals;
    ++totals.files;
    std::visit(
        [&totals](const auto& record) {
            if constexpr (requires { record.ulTotalSteps; }) {
                totals.lines += record.ulReadLines;
                totals.comment += record.ulCommentLines;
                totals.blank += record.ulBlankLines;
                totals.code += record.ulRealSteps;
                totals.total += record.ulTotalSteps;
            }
        },
        file.count);
}

std::string SummaryTable::text() const {
    // The cells of every line, the heading first and the grand total last.
    using Cells = std::array<std::string, 1 + kHeadings.size()>;
    auto cellsOf = [](std::string_view label, const Totals& t) {
        return Cells{std::string(label),       std::to_string(t.files),
                     std::to_string(t.lines),  std::to_string(t.comment),
                     std::to_string(t.blank),  std::to_string(t.code),
                     std::to_string(t.total),  ratioText(t.comment + t.blank, t.total)};
    };
    std::vector<Cells> lines;
    Cells heading;
    heading[0] = kLanguageHeading;
    std::copy(kHeadings.begin(), kHeadings.end(), heading.begin() + 1);
    lines.push_back(heading);
    Totals grand;
    for (const LanguageTotals& row : rows_) {
        lines.push_back(cellsOf(languageOf(row.language).description, row.totals));
        grand.add(row.totals);
    }
    lines.push_back(cellsOf(kTotalLabel, grand));

    std::array<std::size_t, 1 + kHeadings.size()> widths{};
    for (const Cells& cells : lines) {
        for (std::size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], cells[i].size());
    }
    std::size_t lineWidth = widths[0];
    for (std::size_t i = 1; i < widths.size(); ++i) lineWidth += kGap.size() + widths[i];
    const std::string rule = std::string(lineWidth, '-') + '\n';

    std::string out;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (n == 1 || n + 1 == lines.size()) out += rule;
        std::string line = lines[n][0];
        line.append(widths[0] - line.size(), ' ');
        for (std::size_t i = 1; i < widths.size(); ++i) {
            line += kGap;
            padLeft(line, lines[n][i], widths[i]);
        }
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace stepcount
