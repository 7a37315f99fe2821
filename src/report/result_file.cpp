#include "report/result_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
    // O_NONBLOCK: a FIFO without a reader is refused instead of waited for.
    UniqueFd fd(openPath(path_, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid()) throw OutputOpenError(systemFailure("Cannot open", path_, errno).what());
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    struct stat info {};
    const bool known = ::fstat(fd.get(), &info) == 0;
    fd_ = std::move(fd);
    empty_ = known && info.st_size == 0;
    written_ = known ? static_cast<std::uint64_t>(info.st_size) : 0;
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
    while (done < pending_.size()) {
        const ssize_t written = ::write(fd_.get(), pending_.data() + done, pending_.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            const int failure = errno;
            cutToWholeRows(done);
            pending_.clear();
            throw ResultWriteError(systemErrorText(failure));
        }
        done += static_cast<std::size_t>(written);
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
    if (::ftruncate(fd_.get(), static_cast<off_t>(written_ + whole)) == 0) written_ += whole;
}

void ResultFileWriter::onRunEnd(RunEnd) {
    if (!fd_.valid()) return;
    try {
        flush();
    } catch (...) {
        fd_.reset();
        throw;
    }
    const int fd = fd_.release();
    if (::close(fd) != 0 && errno != EINTR) throw ResultWriteError(systemErrorText(errno));
}

}  // namespace stepcount
