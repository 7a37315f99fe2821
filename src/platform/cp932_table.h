// The conversion from Unicode to CP932 (Shift_JIS) that result files use: the
// table of glibc's iconv "CP932" converter, so that the bytes are the same on
// every system the tool is built for, whatever that system's own CP932 is
// (Windows' code page 932 differs in a few characters, e.g. U+301C, U+2212,
// U+00A5).
//
// The table's entries are generated (cp932_table.inc, made by
// tools/make_cp932_table.sh); cp932_table.cpp turns them into a two-level page
// table at compile time.
#pragma once

#include <cstdint>
#include <string>

namespace stepcount::cp932 {

// What the converter makes of one character: two bytes as lead * 256 + trail,
// one byte as its value, or one of the two markers below.
using Code = std::uint16_t;
inline constexpr Code kNoForm = 0xFFFF;   // not convertible (no CP932 lead byte is 0xFF)
inline constexpr Code kNoBytes = 0xFFFE;  // converted to nothing (the tag characters)

// `count` consecutive scalar values from `first` whose codes are `code` and the
// codes that follow it one after another by `nextCode`.
struct Run {
    char32_t first;
    Code code;
    std::uint16_t count = 1;
};

// The code after `code` in a run: the next byte value, the next trail byte of
// a two-byte code (0x7F is no trail byte), the same marker for a run of
// characters converted to nothing.
constexpr Code nextCode(Code code) {
    if (code == kNoBytes) return code;
    if (code > 0xFF && (code & 0xFF) == 0x7E) return static_cast<Code>(code + 2);
    return static_cast<Code>(code + 1);
}

// The converter's code for `c`; kNoForm for surrogates and values above
// U+10FFFF.
Code codeOf(char32_t c);

// Appends the CP932 bytes of `c` to `out` (none for a character converted to
// nothing); false, appending nothing, when `c` has no CP932 form.
bool appendCp932(std::string& out, char32_t c);

}  // namespace stepcount::cp932
