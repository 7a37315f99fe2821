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

namespace stepcount {

// Receives the whole of each line, not only its window: the bytes of a line
// come in one piece or, for a line that spans chunks, in several, in order,
// without its line break.
class LineBytesSink {
public:
    virtual ~LineBytesSink() = default;
    virtual void lineStarts() = 0;
    virtual void lineBytes(std::string_view piece) = 0;
};

class LineReader {
public:
    static constexpr std::size_t kWindowSize = 256;
    static constexpr std::size_t kChunkSize = 128 * 1024;

    // A reader with its buffers, or nullptr when they cannot be allocated.
    static std::unique_ptr<LineReader> create();

    // The calling thread's own readers (kThreadReaders of them, for reading
    // as many files in turns), each created at its first use, reused for
    // every file the thread reads and freed when the thread ends; nullptr
    // when it cannot be allocated.
    static constexpr unsigned kThreadReaders = 2;
    static LineReader* forThisThread(unsigned slot = 0);

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
        // Most lines end in the chunk they begin in: hand out a view of them.
        if (breakIndex_ < breakCount_) {
            const std::size_t brk = breaks_[breakIndex_];
            window = std::string_view(chunk_ + pos_, std::min(brk - pos_, kWindowSize));
            passBreak(brk);
            return true;
        }
        return nextAcrossChunks(window, nullptr);
    }

    // The same, and the whole line goes to `whole` before it returns.
    bool next(std::string_view& window, LineBytesSink& whole) {
        if (breakIndex_ < breakCount_) {
            const std::size_t brk = breaks_[breakIndex_];
            whole.lineStarts();
            whole.lineBytes(std::string_view(chunk_ + pos_, brk - pos_));
            window = std::string_view(chunk_ + pos_, std::min(brk - pos_, kWindowSize));
            passBreak(brk);
            return true;
        }
        return nextAcrossChunks(window, &whole);
    }

    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

private:
    static constexpr std::size_t kBlock = 64;

    LineReader() {}  // user-provided: the buffers are not zeroed
    bool fill();
    bool nextAcrossChunks(std::string_view& window, LineBytesSink* whole);
    void findBreaks();

    // Position of the next line break (CR or LF) at or after pos_ in the
    // chunk, or end_.
    std::size_t nextBreak() const { return breakIndex_ < breakCount_ ? breaks_[breakIndex_] : end_; }

    // Moves past the line break at `brk`, the next one: a CR and the LF that
    // follows it are one break.
    void passBreak(std::size_t brk) {
        ++breakIndex_;
        pos_ = brk + 1;
        if (chunk_[brk] == '\r') {
            if (pos_ < end_) {
                if (chunk_[pos_] == '\n') {
                    ++pos_;
                    ++breakIndex_;
                }
            } else {
                skipLF_ = true;
            }
        }
    }

    UniqueFd fd_;
    // A file not read from the file system (FileLocation::contents): read a
    // piece at a time from its stream, or, held whole in memory, its bytes
    // handed to the chunks as a file's would be read.
    std::unique_ptr<ContentStream> stream_;
    std::string_view memory_;
    std::shared_ptr<const void> memoryKeeper_;
    std::size_t memoryRead_ = 0;
    bool inMemory_ = false;
    std::string path_;
    FileFacts facts_;
    std::uint64_t left_ = 0;       // bytes of the file not read yet, by its size when opened
    std::size_t pos_ = 0;          // next unread byte of chunk_
    std::size_t end_ = 0;          // bytes held in chunk_
    std::size_t breakCount_ = 0;   // line breaks found in chunk_
    std::size_t breakIndex_ = 0;   // the next of them at or after pos_
    bool skipLF_ = false;          // the last line ended in a CR at the end of a chunk
    bool atEnd_ = false;
    char window_[kWindowSize];
    // The bytes being read: buffer_, or for a file in memory a piece of
    // its bytes themselves (they are not copied).
    const char* chunk_ = buffer_;
    // Where a file's bytes are read to. Not aligned beyond what operator new
    // gives: an over-aligned reader would need the aligned allocation
    // functions, which MinGW-w64 maps to _aligned_malloc and _aligned_free.
    char buffer_[kChunkSize];
    // Positions of the CR and LF bytes of chunk_, in order; room for a few
    // written beyond the last.
    std::uint32_t breaks_[kChunkSize + 8];
};

}  // namespace stepcount
