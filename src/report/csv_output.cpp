#include "report/csv_output.h"

#include <cerrno>

#include "platform/exception.h"
#include "report/result_format.h"
#include "walk/walk_observer.h"

namespace stepcount {

namespace {

constexpr std::size_t kFlushSize = 256 * 1024;
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

CsvOutput::CsvOutput(std::string path, ResultEncoding encoding)
    : path_(std::move(path)), encoder_(encoding) {}

void CsvOutput::open(std::string_view header) {
    if (!file_.open(path_)) throw OutputOpenError(systemFailure("Cannot open", path_, errno).what());
    written_ = file_.sizeWhenOpened();
    pending_.clear();
    pending_.reserve(kFlushSize + 4096);
    folderKnown_ = false;
    if (encoder_.encoding() == ResultEncoding::UTF8 && file_.sizeWhenOpened() == 0) {
        pending_ += kUtf8ByteOrderMark;
    }
    appendRow(withCrLf(encoder_.encode(header)));
}

void CsvOutput::appendRow(std::string_view row) {
    pending_.append(row);
    if (pending_.size() >= kFlushSize) flush();
}

const std::string& CsvOutput::encodedFolder(std::string_view folder) {
    if (!folderKnown_ || folder != folder_) {
        folderKnown_ = true;
        folder_.assign(folder);
        encodedFolder_.clear();
        encoder_.appendPath(encodedFolder_, folder);
    }
    return encodedFolder_;
}

const std::string& CsvOutput::encodedName(std::string_view name) {
    name_.clear();
    encoder_.appendPath(name_, name);
    return name_;
}

void CsvOutput::flush() {
    std::size_t done = 0;
    if (!file_.write(pending_, done)) {
        const int failure = errno;
        cutToWholeRows(done);
        pending_.clear();
        throw OutputWriteError(systemErrorText(failure));
    }
    written_ += pending_.size();
    pending_.clear();
}

// After `done` bytes of pending_ were written and the rest could not be: cuts
// the file back to the end of its last whole line, so that what it holds
// stays readable. A file that cannot be cut (a device, a pipe) is left as it
// is.
void CsvOutput::cutToWholeRows(std::size_t done) {
    const std::size_t lineEnd = std::string_view(pending_).substr(0, done).rfind('\n');
    const std::size_t whole = lineEnd == std::string_view::npos ? 0 : lineEnd + 1;
    if (whole == done) return;
    if (file_.truncate(written_ + whole)) written_ += whole;
}

void CsvOutput::close() {
    if (!file_.isOpen()) return;
    try {
        flush();
    } catch (...) {
        file_.close();
        throw;
    }
    if (!file_.close()) throw OutputWriteError(systemErrorText(errno));
}

}  // namespace stepcount
