// The key of a step: the bytes of its line that decide whether a step of one
// version is the same as a step of the other, hashed (see key_hash.h).
//
// A line is handed over in pieces (a long line arrives a chunk at a time),
// so the key is built as the pieces come and the line is never kept. Equal
// key bytes give equal keys wherever the pieces were cut.
//
// The key of a line is
// - for most languages, the whole line without its line break and without
//   the spaces (0x20) and tabs (0x09) at either end, so that re-indenting a
//   line changes nothing;
// - for COBOL, columns 7 to 72 (byte columns counted from 1) without the
//   spaces at their end: the sequence area (1-6) and the identification area
//   (73 on) never count, so renumbering a program changes nothing.
//
// With ignore-case, ASCII letters are folded to lower case, except, in a file
// that is not valid UTF-8 and so is read as CP932 (Shift_JIS), a byte that is
// the second byte of a double-byte character: a lead byte is 0x81-0x9F or
// 0xE0-0xFC, the byte after it is its second byte, and the line is parsed so
// from its first byte. Whether a file is valid UTF-8 is known only at its end
// (see encoding_survey.h), so the builder gives the key under both readings
// and FileStepKeys keeps a file's keys until the reading is chosen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "diff/key_hash.h"

namespace stepcount::diff {

// Which bytes of a line make its key.
enum class KeyRule : std::uint8_t {
    TrimmedLine,       // the line without the spaces and tabs at either end
    CobolProgramArea,  // columns 7 to 72 without the spaces at their end
};

// The key of one line under the two readings of its file. They differ only
// with ignore-case, and only for a line holding a double-byte character
// whose second byte is an upper-case ASCII letter.
struct StepKeys {
    StepKey utf8;   // the file is valid UTF-8: every ASCII letter folded
    StepKey cp932;  // it is not: second bytes of double-byte characters kept

    const StepKey& forFile(bool fileIsValidUtf8) const { return fileIsValidUtf8 ? utf8 : cp932; }
};

class StepKeyBuilder {
public:
    // Bytes of a COBOL line that make its key: offsets 6 to 71 (columns 7-72).
    static constexpr std::size_t kProgramAreaStart = 6;
    static constexpr std::size_t kProgramAreaEnd = 72;

    explicit StepKeyBuilder(KeyRule rule, bool ignoreCase = false);

    // Starts a line.
    void begin();

    // The next bytes of the line, after those of the pieces before; the line
    // break is not part of the line. `piece` need not outlive the call.
    void add(std::string_view piece);

    // The key of the line. Without ignore-case both readings are the same.
    StepKeys finish();

    // begin(), add(line), finish(), for a line in one piece; without
    // ignore-case the blanks at the ends are cut off at once and the rest
    // hashed in one go.
    StepKeys keyOf(std::string_view line);

private:
    template <bool kTabs>
    void take(const char* data, const char* end);
    void emit(const char* data, const char* end);
    void emitFolded(const char* data, const char* end);
    void passOver(const char* data, const char* end);
    void hold();

    KeyRule rule_;
    bool ignoreCase_;
    bool started_ = false;     // past the blanks that begin the line
    bool holding_ = false;     // the key so far ends in blanks that count only if more follows
    bool secondByte_ = false;  // the next byte is the second of a double-byte character
    bool split_ = false;       // the CP932 reading has come apart from the UTF-8 one
    std::size_t column_ = 0;   // bytes of the line so far (COBOL)
    KeyHasher utf8_;           // the key (the UTF-8 reading)
    KeyHasher utf8Held_;       // ... before the blanks held back
    KeyHasher cp932_;          // the CP932 reading, once it has come apart
    KeyHasher cp932Held_;
};

// The keys of one file's steps in order, kept until it is known whether the
// file is valid UTF-8. The CP932 readings are kept only where they differ.
class FileStepKeys {
public:
    // Empties the list for another file; its memory is kept.
    void clear() {
        keys_.clear();
        cp932Keys_.clear();
    }

    void add(const StepKeys& keys) {
        if (!(keys.cp932 == keys.utf8)) cp932Keys_.emplace_back(keys_.size(), keys.cp932);
        keys_.push_back(keys.utf8);
    }

    std::size_t size() const { return keys_.size(); }

    // The keys under the file's reading. Call once, after the last add; the
    // span stays valid until the next clear or add.
    std::span<const StepKey> resolve(bool fileIsValidUtf8);

private:
    std::vector<StepKey> keys_;
    std::vector<std::pair<std::size_t, StepKey>> cp932Keys_;
};

}  // namespace stepcount::diff
