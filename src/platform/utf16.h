// Reading and writing UTF-8 character by character, and conversions between
// UTF-8 and UTF-16 for systems that keep file names in UTF-16 (Windows).
//
// A UTF-16 name may hold unpaired surrogates. utf16ToUtf8 writes each of them
// in its 3-byte generalized UTF-8 form (as WTF-8 does), which utf8ToUtf16
// reads back as that surrogate, so every UTF-16 sequence survives the round
// trip unchanged. The reverse trip is exact for well-formed UTF-8 only: bytes
// that are not UTF-8 (raw Shift_JIS bytes, for example) have no UTF-16 form
// and become U+FFFD, one for each such byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace stepcount {

// One character read from UTF-8 text: its code point and the number of bytes
// it takes; length 0 where the bytes begin no well-formed character (a stray
// continuation byte, a sequence cut short, an overlong form, a surrogate, a
// value above U+10FFFF).
struct Utf8Char {
    char32_t codePoint = 0;
    std::size_t length = 0;
};

// The character that begins at `text[pos]`; `pos` must be within `text`.
Utf8Char readUtf8(std::string_view text, std::size_t pos);

// Appends `c` (at most U+10FFFF) in UTF-8; a surrogate code point in its
// 3-byte generalized form.
void appendUtf8(std::string& out, char32_t c);

// `text` in UTF-8, unpaired surrogates in their generalized 3-byte form.
std::string utf16ToUtf8(std::u16string_view text);

// `text` in UTF-16: well-formed UTF-8 and the generalized forms of surrogates
// converted (a high and a low one in a row make that pair), every other byte
// becoming U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);

}  // namespace stepcount
