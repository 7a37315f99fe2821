#include "platform/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <unistd.h>

#include "platform/exception.h"

namespace stepcount {

std::unique_ptr<LineReader> LineReader::create() {
    return std::unique_ptr<LineReader>(new (std::nothrow) LineReader());
}

LineReader* LineReader::forThisThread() {
    thread_local const std::unique_ptr<LineReader> reader = create();
    return reader.get();
}

void LineReader::open(const FileLocation& file) {
    fd_.reset();
    fd_ = openRegularFileForReading(file, facts_);
    path_ = file.path;
    // A size of 0 may be a file that does not tell its size (as those of
    // /proc): it is read to its end.
    left_ = facts_.size > 0 ? facts_.size : ~std::uint64_t{0};
    pos_ = end_ = block_ = 0;
    mask_ = 0;
    skipLF_ = atEnd_ = false;
}

void LineReader::close() { fd_.reset(); }

bool LineReader::fill() {
    if (atEnd_) return false;
    if (left_ == 0) {
        // As much as the file held when it was opened has been read: one
        // read less per file. A file that grows meanwhile is read as it was.
        atEnd_ = true;
        return false;
    }
    ssize_t got;
    do {
        got = ::read(fd_.get(), chunk_, kChunkSize);
    } while (got < 0 && errno == EINTR);
    if (got < 0) throw systemFailure("Cannot read file", path_, errno);
    if (got == 0) {
        atEnd_ = true;
        return false;
    }
    pos_ = 0;
    end_ = static_cast<std::size_t>(got);
    left_ -= std::min<std::uint64_t>(left_, end_);
    block_ = 0;
    mask_ = breaksInBlock();
    return true;
}

bool LineReader::nextAcrossChunks(std::string_view& window) {
    std::size_t held = 0;      // bytes of this line copied into window_
    bool started = false;      // whether this line has any byte yet
    for (;;) {
        if (pos_ == end_ && !fill()) {
            if (!started) return false;
            window = std::string_view(window_, held);
            return true;
        }
        if (skipLF_) {
            skipLF_ = false;
            if (chunk_[pos_] == '\n') {
                ++pos_;
                continue;
            }
        }
        const std::size_t brk = nextBreak();
        const std::size_t take = std::min(brk - pos_, kWindowSize - held);
        if (brk < end_ && !started) {
            // The whole line lies in this chunk: hand out a view of it.
            window = std::string_view(chunk_ + pos_, take);
        } else {
            std::memcpy(window_ + held, chunk_ + pos_, take);
            held += take;
            window = std::string_view(window_, held);
        }
        started = true;
        if (brk == end_) {
            pos_ = end_;
            continue;
        }
        passBreak(brk);
        return true;
    }
}

}  // namespace stepcount
