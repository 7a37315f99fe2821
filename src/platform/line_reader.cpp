#include "platform/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/exception.h"
#include "platform/stop_request.h"
#include "platform/thread_exit.h"

namespace stepcount {

std::unique_ptr<LineReader> LineReader::create() {
    return std::unique_ptr<LineReader>(new (std::nothrow) LineReader());
}

namespace {

// The readers of one thread.
struct ThreadReaders {
    LineReader* readers[LineReader::kThreadReaders] = {};
    ~ThreadReaders() {
        for (LineReader* reader : readers) delete reader;
    }
};

}  // namespace

LineReader* LineReader::forThisThread(unsigned slot) {
    // The thread's pointer is a plain thread_local, with nothing to do at the
    // thread's end; the readers are freed by the system's thread-exit slot
    // (see platform/thread_exit.h for why no thread_local owns them).
    static ThreadExitSlot owners([](void* readers) { delete static_cast<ThreadReaders*>(readers); });
    thread_local ThreadReaders* mine = nullptr;
    if (mine == nullptr) {
        mine = new (std::nothrow) ThreadReaders();
        if (mine == nullptr) return nullptr;
        // Without a slot the readers still serve; they are then left at the
        // thread's end.
        owners.set(mine);
    }
    LineReader*& reader = mine->readers[slot % kThreadReaders];
    if (reader == nullptr) reader = create().release();
    return reader;
}

void LineReader::open(const FileLocation& file) {
    fd_.reset();
    stream_.reset();
    inMemory_ = false;
    if (file.contents != nullptr) {
        LoadedContents loaded = file.contents->load(file.path, facts_);
        stream_ = std::move(loaded.stream);
        inMemory_ = stream_ == nullptr;
        memoryKeeper_ = std::move(loaded.keeper);
        memory_ = loaded.bytes;
        memoryRead_ = 0;
    } else {
        fd_ = openRegularFileForReading(file, facts_);
    }
    path_ = file.path;
    // A size of 0 may be a file that does not tell its size (as those of
    // /proc): it is read to its end.
    left_ = facts_.size > 0 ? facts_.size : ~std::uint64_t{0};
    pos_ = end_ = breakCount_ = breakIndex_ = 0;
    skipLF_ = atEnd_ = false;
}

void LineReader::close() {
    fd_.reset();
    stream_.reset();
    memoryKeeper_.reset();
    memory_ = {};
    inMemory_ = false;
}

bool LineReader::fill() {
    if (atEnd_) return false;
    if (left_ == 0) {
        // As much as the file held when it was opened has been read: one
        // read less per file. A file that grows meanwhile is read as it was.
        atEnd_ = true;
        return false;
    }
    // A stop asked for while a long file is read ends the read here.
    throwIfStopRequested();
    std::int64_t got;
    if (inMemory_) {
        got = static_cast<std::int64_t>(std::min(kChunkSize, memory_.size() - memoryRead_));
        chunk_ = memory_.data() + memoryRead_;
        memoryRead_ += static_cast<std::size_t>(got);
    } else if (stream_ != nullptr) {
        chunk_ = buffer_;
        got = static_cast<std::int64_t>(stream_->read(buffer_, kChunkSize));
    } else {
        chunk_ = buffer_;
        got = readFile(fd_.get(), buffer_, kChunkSize);
    }
    if (got < 0) throw systemFailure("Cannot read file", path_, errno);
    if (got == 0) {
        atEnd_ = true;
        return false;
    }
    pos_ = 0;
    end_ = static_cast<std::size_t>(got);
    left_ -= std::min<std::uint64_t>(left_, end_);
    findBreaks();
    return true;
}

// Lists the positions of the CR and LF bytes of the chunk, looking at 64
// bytes at a time (with SSE2 where there is, byte by byte elsewhere). The
// lines are then handed out from the list; the bytes of a long line beyond
// its window are not looked at again.
void LineReader::findBreaks() {
    std::size_t count = 0;
    // The chunk's last bytes, when they fill no whole block, are looked at
    // in a copy: nothing after the chunk is read, for a file in memory has
    // nothing there.
    char last[kBlock];
    for (std::size_t block = 0; block < end_; block += kBlock) {
        const char* bytes = chunk_ + block;
        const std::size_t held = end_ - block;
        if (held < kBlock) {
            std::memcpy(last, bytes, held);
            std::memset(last + held, 0, kBlock - held);
            bytes = last;
        }
        std::uint64_t mask = 0;
#if defined(__SSE2__)
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i cr = _mm_set1_epi8('\r');
        for (std::size_t i = 0; i < kBlock; i += 16) {
            const __m128i part = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(part, lf), _mm_cmpeq_epi8(part, cr));
            mask |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(hits))) << i;
        }
#else
        for (std::size_t i = 0; i < kBlock; ++i) {
            if (bytes[i] == '\n' || bytes[i] == '\r') mask |= std::uint64_t{1} << i;
        }
#endif
        // Most blocks hold few breaks: four are written whether they are
        // there or not (the extra entries lie beyond the count), the rest
        // one by one.
        std::uint32_t* const out = breaks_ + count;
        for (std::size_t i = 0; i < 4; ++i) {
            const auto at = static_cast<std::size_t>(__builtin_ctzll(mask | (std::uint64_t{1} << 63)));
            out[i] = static_cast<std::uint32_t>(block + at);
            count += mask != 0;
            mask &= mask - 1;
        }
        while (mask != 0) {
            breaks_[count++] = static_cast<std::uint32_t>(block + static_cast<std::size_t>(__builtin_ctzll(mask)));
            mask &= mask - 1;
        }
    }
    breakCount_ = count;
    breakIndex_ = 0;
}

bool LineReader::nextAcrossChunks(std::string_view& window, LineBytesSink* whole) {
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
                ++breakIndex_;
                continue;
            }
        }
        const std::size_t brk = nextBreak();
        if (whole != nullptr) {
            if (!started) whole->lineStarts();
            whole->lineBytes(std::string_view(chunk_ + pos_, brk - pos_));
        }
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
