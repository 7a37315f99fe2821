#include "report/result_file.h"

#include "platform/file_time.h"

namespace stepcount {

void ResultFileWriter::onRunStart(const RunStart& start) {
    layout_ = layoutOf(start.languages);
    dateKnown_ = false;
    csv_.open(headerText(layout_));
}

void ResultFileWriter::onFolder(std::string_view folder, std::string_view name) {
    row_.clear();
    appendFolderRow(row_, layout_, csv_.encodedFolder(folder), csv_.encodedName(name));
    csv_.appendRow(row_);
}

void ResultFileWriter::onFile(const WalkedFile& file) {
    const FileFacts& facts = file.facts;
    row_.clear();
    std::string_view date;
    if (isCounted(file.count) && facts.dated) {
        // Files of one delivery often share their last write.
        if (!dateKnown_ || facts.modified != dateTime_) {
            dateKnown_ = true;
            dateTime_ = facts.modified;
            date_ = formatFileDate(facts.modified);
        }
        date = date_;
    }
    appendFileRow(row_, layout_, csv_.encodedFolder(file.folder), csv_.encodedName(file.name),
                  facts.size, date, file.count);
    csv_.appendRow(row_);
}

void ResultFileWriter::onRunEnd(RunEnd) { csv_.close(); }

}  // namespace stepcount
