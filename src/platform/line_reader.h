// Reads a file as lines, one at a time, without holding the file in memory.
//
// A line ends at CR LF, at a lone CR or at a lone LF; the break is not part
// of the line. Text after the last break is a last line; a break at the very
// end of the file adds no empty line, and an empty file has no lines. Bytes
// are taken as they are: no character set conversion, and a NUL byte is an
// ordinary byte of its line.
//
// Of each line only its first kWindowSize bytes are handed out (the line's
// window); the rest of a longer line is skipped. Memory stays the same
// whatever the size of the file or of its lines.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace stepcount {

class LineReader {
public:
    static constexpr std::size_t kWindowSize = 256;
    static constexpr std::size_t kChunkSize = 128 * 1024;

    // A reader with its buffers, or nullptr when they cannot be allocated.
    static std::unique_ptr<LineReader> create();

    // The calling thread's own reader, created at its first use and reused
    // for every file the thread reads; nullptr when it cannot be allocated.
    static LineReader* forThisThread();

    // Opens a file (see openRegularFileForReading), closing the one before;
    // throws Exception naming the file when it cannot be opened.
    void open(const FileLocation& file);

    // Closes the file.
    void close();

    // Size and last write of the open file.
    const FileFacts& facts() const { return facts_; }

    // Sets `window` to the first kWindowSize bytes of the next line and
    // returns true; returns false after the last line. Throws Exception
    // naming the file when reading fails. `window` stays valid until the
    // next call.
    bool next(std::string_view& window) {
        // Most lines lie whole in the chunk: hand out a view of them.
        if (pos_ < end_) {
            const std::size_t brk = nextBreak();
            if (brk < end_) {
                window = std::string_view(chunk_ + pos_, std::min(brk - pos_, kWindowSize));
                passBreak(brk);
                return true;
            }
        }
        return nextAcrossChunks(window);
    }

    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

private:
    static constexpr std::size_t kBlock = 64;

    LineReader() {}  // user-provided: the buffers are not zeroed
    bool fill();
    bool nextAcrossChunks(std::string_view& window);

    // Bit i set when byte block_ + i of the chunk is a CR or an LF; bytes
    // from end_ on are left out.
    std::uint64_t breaksInBlock() const {
        const char* const block = chunk_ + block_;
        std::uint64_t mask = 0;
#if defined(__SSE2__)
        const __m128i lf = _mm_set1_epi8('\n');
        const __m128i cr = _mm_set1_epi8('\r');
        for (std::size_t i = 0; i < kBlock; i += 16) {
            const __m128i bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(block + i));
            const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr));
            mask |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(hits))) << i;
        }
#else
        for (std::size_t i = 0; i < kBlock; ++i) {
            if (block[i] == '\n' || block[i] == '\r') mask |= std::uint64_t{1} << i;
        }
#endif
        const std::size_t held = end_ - block_;
        if (held < kBlock) mask &= (std::uint64_t{1} << held) - 1;
        return mask;
    }

    // Position of the first CR or LF at or after pos_ in the chunk, or
    // end_. The chunk is looked at a block of 64 bytes at a time, each
    // block once however many lines it holds; the rest of a long line is
    // passed over in the same way without being examined further.
    std::size_t nextBreak() {
        if (pos_ >= block_ + kBlock) {
            block_ = pos_ & ~(kBlock - 1);
            mask_ = breaksInBlock();
        }
        // pos_ lies before block_ when the blocks between held no break.
        std::uint64_t ahead = pos_ > block_ ? mask_ & (~std::uint64_t{0} << (pos_ - block_)) : mask_;
        while (ahead == 0) {
            if (block_ + kBlock >= end_) return end_;
            block_ += kBlock;
            mask_ = ahead = breaksInBlock();
        }
        return block_ + static_cast<std::size_t>(__builtin_ctzll(ahead));
    }

    // Moves past the line break at `brk`: a CR and the LF that follows it
    // are one break.
    void passBreak(std::size_t brk) {
        pos_ = brk + 1;
        if (chunk_[brk] == '\r') {
            if (pos_ < end_) {
                if (chunk_[pos_] == '\n') ++pos_;
            } else {
                skipLF_ = true;
            }
        }
    }

    UniqueFd fd_;
    std::string path_;
    FileFacts facts_;
    std::uint64_t left_ = 0;       // bytes of the file not read yet, by its size when opened
    std::size_t pos_ = 0;          // next unread byte of chunk_
    std::size_t end_ = 0;          // bytes held in chunk_
    std::size_t block_ = 0;        // start of the block that mask_ describes
    std::uint64_t mask_ = 0;       // breaksInBlock() of that block
    bool skipLF_ = false;          // the last line ended in a CR at the end of a chunk
    bool atEnd_ = false;
    char window_[kWindowSize];
    // A block is read whole even at the end of the data: room for one more.
    alignas(kBlock) char chunk_[kChunkSize + kBlock];
};

}  // namespace stepcount
