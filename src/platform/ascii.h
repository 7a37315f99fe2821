// Byte tests and case mapping that know ASCII only: every byte from 0x80 up
// is left as it is, so Shift_JIS and UTF-8 text passes through unchanged.
#pragma once

#include <string>
#include <string_view>

namespace stepcount::ascii {

constexpr bool isUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
constexpr bool isLower(unsigned char c) { return c >= 'a' && c <= 'z'; }
constexpr bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
constexpr bool isLetterOrDigit(unsigned char c) { return isUpper(c) || isLower(c) || isDigit(c); }
// Printable ASCII other than the space: 0x21 to 0x7E.
constexpr bool isVisible(unsigned char c) { return c >= 0x21 && c <= 0x7E; }

constexpr char toLower(char c) {
    return isUpper(static_cast<unsigned char>(c)) ? static_cast<char>(c + ('a' - 'A')) : c;
}
constexpr char toUpper(char c) {
    return isLower(static_cast<unsigned char>(c)) ? static_cast<char>(c - ('a' - 'A')) : c;
}

// The text with its ASCII letters lowered.
std::string lowerCase(std::string_view text);

// Whether `text` holds `needle`, ASCII letters compared without regard to case.
bool containsIgnoringCase(std::string_view text, std::string_view needle);

// Compares names as the walk orders folder entries: ASCII letters folded to
// upper case first, then, between names equal so, by their raw bytes.
// Negative, zero or positive, as memcmp.
int compareEntryNames(std::string_view a, std::string_view b);

}  // namespace stepcount::ascii
