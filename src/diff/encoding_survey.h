// What a whole file's bytes say about its encoding: whether it holds any byte
// of 0x80 or more, and whether it is valid UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
//
// It is fed every line of the file (not only the steps), in the same pieces
// as the step keys, without line breaks; a character may be split between
// pieces but not between lines. A UTF-8 byte-order mark at the start of the
// file is the caller's to leave out.
#pragma once

#include <cstdint>
#include <string_view>

namespace stepcount::diff {

class EncodingSurvey {
public:
    // Starts a file.
    void clear() { *this = EncodingSurvey(); }

    // The next bytes of the current line.
    void add(std::string_view piece);

    // The current line ends: a character it leaves unfinished is invalid.
    void endLine() {
        if (pending_ != 0) {
            valid_ = false;
            pending_ = 0;
        }
    }

    bool hasNonAscii() const { return nonAscii_; }

    // After the last line's endLine.
    bool isValidUtf8() const { return valid_ && pending_ == 0; }

    // Nothing the rest of the file holds can change the answers: it is
    // not valid UTF-8 (and so holds non-ASCII bytes). The caller may stop
    // feeding the survey.
    bool settled() const { return !valid_; }

private:
    bool nonAscii_ = false;
    bool valid_ = true;
    std::uint8_t pending_ = 0;        // continuation bytes still to come
    std::uint8_t lowest_ = 0x80;      // the range of the next one
    std::uint8_t highest_ = 0xBF;
};

}  // namespace stepcount::diff
