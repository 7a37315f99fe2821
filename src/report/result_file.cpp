#include "report/result_file.h"

#include <cerrno>

#include "platform/exception.h"
#include "platform/file_time.h"

namespace stepcount {

namespace {

constexpr std::size_t kFlushSize = 256 * 1024;
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

ResultFileWriter::ResultFileWriter(std::string path, ResultEncoding encoding)
    : path_(std::move(path)), encoder_(encoding) {}

ResultFileWriter::~ResultFileWriter() = default;

void ResultFileWriter::onRunStart(const RunStart& start) {
    if (!file_.open(path_)) throw OutputOpenError(systemFailure("Cannot open", path_, errno).what());
    empty_ = file_.sizeWhenOpened() == 0;
    written_ = file_.sizeWhenOpened();
    layout_ = layoutOf(start.languages);
    pending_.clear();
    pending_.reserve(kFlushSize + 4096);
    folderKnown_ = dateKnown_ = false;

    if (encoder_.encoding() == ResultEncoding::UTF8 && empty_) append(kUtf8ByteOrderMark);
    append(withCrLf(encoder_.encode(headerText(layout_))));
}

const std::string& ResultFileWriter::encodedFolder(std::string_view folder) {
    if (!folderKnown_ || folder != folder_) {
        folderKnown_ = true;
        folder_.assign(folder);
        encodedFolder_.clear();
        encoder_.appendPath(encodedFolder_, folder);
    }
    return encodedFolder_;
}

const std::string& ResultFileWriter::encodedName(std::string_view name) {
    name_.clear();
    encoder_.appendPath(name_, name);
    return name_;
}

void ResultFileWriter::onFolder(std::string_view folder, std::string_view name) {
    row_.clear();
    appendFolderRow(row_, layout_, encodedFolder(folder), encodedName(name));
    append(row_);
}

void ResultFileWriter::onFile(const WalkedFile& file) {
    const FileFacts& facts = file.facts;
    row_.clear();
    std::string_view date;
    if (isCounted(file.count)) {
        // Files of one delivery often share their last write.
        if (!dateKnown_ || facts.modified != dateTime_) {
            dateKnown_ = true;
            dateTime_ = facts.modified;
            date_ = formatFileDate(facts.modified);
        }
        date = date_;
    }
    appendFileRow(row_, layout_, encodedFolder(file.folder), encodedName(file.name), facts.size,
                  date, file.count);
    append(row_);
}

void ResultFileWriter::append(std::string_view bytes) {
    pending_.append(bytes);
    if (pending_.size() >= kFlushSize) flush();
}

void ResultFileWriter::flush() {
    std::size_t done = 0;
    if (!file_.write(pending_, done)) {
        const int failure = errno;
        cutToWholeRows(done);
        pending_.clear();
        throw ResultWriteError(systemErrorText(failure));
    }
    written_ += pending_.size();
    pending_.clear();
}

// After `done` bytes of pending_ were written and the rest could not be: cuts
// the file back to the end of its last whole line, so that what it holds
// stays readable. A result file that cannot be cut (a device, a pipe) is left
// as it is.
void ResultFileWriter::cutToWholeRows(std::size_t done) {
    const std::size_t lineEnd = std::string_view(pending_).substr(0, done).rfind('\n');
    const std::size_t whole = lineEnd == std::string_view::npos ? 0 : lineEnd + 1;
    if (whole == done) return;
    if (file_.truncate(written_ + whole)) written_ += whole;
}

void ResultFileWriter::onRunEnd(RunEnd) {
    if (!file_.isOpen()) return;
    try {
        flush();
    } catch (...) {
        file_.close();
        throw;
    }
    if (!file_.close()) throw ResultWriteError(systemErrorText(errno));
}

}  // namespace stepcount
