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
    pos_ = end_ = 0;
    breaksKnown_ = skipLF_ = atEnd_ = false;
}

void LineReader::close() { fd_.reset(); }

bool LineReader::fill() {
    if (atEnd_) return false;
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
    breaksKnown_ = false;
    return true;
}

// Position of the first CR or LF at or after pos_ in the chunk, or end_.
// Each of the two searches passes over a chunk once, however many lines it
// holds.
std::size_t LineReader::findBreak() {
    auto search = [this](char byte) {
        const void* hit = std::memchr(chunk_ + pos_, byte, end_ - pos_);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - chunk_) : end_;
    };
    if (!breaksKnown_ || nextLF_ < pos_) nextLF_ = search('\n');
    if (!breaksKnown_ || nextCR_ < pos_) nextCR_ = search('\r');
    breaksKnown_ = true;
    return std::min(nextLF_, nextCR_);
}

bool LineReader::next(std::string_view& window) {
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
        const std::size_t brk = findBreak();
        const std::size_t length = brk - pos_;
        const std::size_t take = std::min(length, kWindowSize - held);
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
        pos_ = brk + 1;
        if (chunk_[brk] == '\r') {
            if (pos_ < end_) {
                if (chunk_[pos_] == '\n') ++pos_;
            } else {
                skipLF_ = true;
            }
        }
        return true;
    }
}

}  // namespace stepcount
