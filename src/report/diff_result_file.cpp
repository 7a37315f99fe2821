#include "report/diff_result_file.h"

#include <charconv>

#include "platform/texts.h"
#include "report/result_format.h"

namespace stepcount {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void appendNumber(std::string& row, std::uint64_t value) {
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    row += ',';
    row.append(digits, end);
}

}  // namespace

void DiffResultFileWriter::onRunStart(const RunStart&) {
    totals_ = {};
    const std::string_view statuses[6] = {texts::kStatusAdded,     texts::kStatusDeleted,
                                          texts::kStatusChanged,   texts::kStatusUnchanged,
                                          texts::kStatusNotCounted, texts::kStatusUnreadable};
    for (int i = 0; i < 6; ++i) statuses_[i] = csv_.encodedText(statuses[i]);
    approximate_ = csv_.encodedText(texts::kNoteApproximate);
    encodingDiffers_ = csv_.encodedText(texts::kNoteEncodingDiffers);
    separator_ = csv_.encodedText(texts::kNoteSeparator);
    csv_.open(texts::kDiffHeader);
}

void DiffResultFileWriter::appendLeading(std::string_view folder, std::string_view name,
                                         std::string_view word, std::string_view status) {
    row_.clear();
    appendField(row_, csv_.encodedFolder(folder));
    row_ += ',';
    appendField(row_, csv_.encodedName(name));
    row_ += ',';
    row_ += word;
    row_ += ',';
    row_ += status;
}

void DiffResultFileWriter::onFolderPair(std::string_view folder, std::string_view name, Sides sides) {
    const std::string_view status = sides == Sides::NewOnly   ? statuses_[0]
                                    : sides == Sides::OldOnly ? statuses_[1]
                                                              : std::string_view();
    appendLeading(folder, name, texts::kDirectoryWord, status);
    row_ += ",,,,,,,,,,,,,";   // language, the eleven counts, the notes
    row_ += kLineEnd;
    csv_.appendRow(row_);
}

void DiffResultFileWriter::onFilePair(const PairedFile& file) {
    const ComparedFile& compared = file.compared;
    appendLeading(file.folder, file.name, texts::kFileWord,
                  statuses_[static_cast<int>(compared.status)]);
    row_ += ',';
    if (compared.language != LanguageId::None) row_ += languageOf(compared.language).label;
    const bool hasCounts =
        compared.status != PairStatus::NotCounted && compared.status != PairStatus::Unreadable;
    if (!hasCounts) {
        row_ += ",,,,,,,,,,,,";   // the eleven counts, the notes
        row_ += kLineEnd;
        csv_.appendRow(row_);
        return;
    }
    const StepChanges& c = compared.changes;
    const Counts counts = {compared.oldLines.steps, compared.newLines.steps, c.added,
                           c.changed, c.deleted, c.unchanged, c.added + c.changed,
                           compared.oldLines.comment, compared.newLines.comment,
                           compared.oldLines.blank, compared.newLines.blank};
    for (std::size_t i = 0; i < counts.size(); ++i) {
        appendNumber(row_, counts[i]);
        totals_[i] += counts[i];
    }
    row_ += ',';
    if (compared.approximate) row_ += approximate_;
    if (compared.encodingDiffers) {
        if (compared.approximate) row_ += separator_;
        row_ += encodingDiffers_;
    }
    row_ += kLineEnd;
    csv_.appendRow(row_);
}

void DiffResultFileWriter::onRunEnd(RunEnd how) {
    if (how == RunEnd::Completed) {
        row_.clear();
        row_ += ',';
        row_ += csv_.encodedText(texts::kTotalName);
        row_ += ',';
        row_ += texts::kTotalWord;
        row_ += ",,";   // status, language
        for (const std::uint64_t total : totals_) appendNumber(row_, total);
        row_ += ',';   // the notes
        row_ += kLineEnd;
        csv_.appendRow(row_);
    }
    csv_.close();
}

}  // namespace stepcount
