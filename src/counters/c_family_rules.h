// Line rules of the C family (C, C++, Pro*C, Java) and of SQL, which differ
// only in their line-comment marker.
//
// Only the first visible byte of a line decides its class: a line that begins
// with "/*" or the line-comment marker is a comment line, any other visible
// byte makes a line of code, and a line without one is blank. A "/*" there
// enters a block comment, in which every line is a comment line until one
// holds "*/". Markers behind code, and string literals, are not recognised.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "counters/line_class.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace stepcount {

// A line-comment marker: exactly two bytes, given as a two-character literal.
struct LineCommentMarker {
    template <std::size_t N>
        requires(N == 3)
    consteval LineCommentMarker(const char (&text)[N]) : first(text[0]), second(text[1]) {}  // NOLINT

    char first;
    char second;
};

class CFamilyLineRules {
public:
    static constexpr LineCommentMarker kCLineComment = "//";
    static constexpr LineCommentMarker kSQLLineComment = "--";

    explicit CFamilyLineRules(LineCommentMarker lineCommentMarker)
        : marker0_(lineCommentMarker.first), marker1_(lineCommentMarker.second) {}

    // Starts a file: not inside a block comment.
    void start(int /*fileKind*/ = 0) { inBlockComment_ = false; }

    // Every line of every C, C++, Java and SQL file passes here: kept inline.
    LineVerdict classify(std::string_view line) {
        const char* first = line.data();
        const char* const end = first + line.size();
        if (inBlockComment_) {
            if (holdsCommentEnd(first, end)) inBlockComment_ = false;
            return {LineClass::Comment};
        }
        first = skipWhiteSpace(first, end);
        if (first == end) return {LineClass::Blank};
        if (end - first >= 2) {
            if (first[0] == '/' && first[1] == '*') {
                // The "*" of the opening "/*" may also serve the closing "*/".
                inBlockComment_ = !holdsCommentEnd(first + 1, end);
                return {LineClass::Comment};
            }
            if (first[0] == marker0_ && first[1] == marker1_) return {LineClass::Comment};
        }
        return {LineClass::Code};
    }

    // White space of these rules: 0x00 to 0x20, 0x7F and 0x80 to 0xFF.
    static constexpr bool isWhiteSpace(unsigned char c) { return c <= 0x20 || c >= 0x7F; }

private:
    // The first byte of [from, end) that is not white space, or end.
    static const char* skipWhiteSpace(const char* from, const char* end) {
#if defined(__SSE2__)
        // Sixteen bytes at a time while the line has them: indentation
        // ends without a branch per byte.
        const __m128i belowVisible = _mm_set1_epi8(0x20);
        const __m128i aboveVisible = _mm_set1_epi8(0x7F);
        while (end - from >= 16) {
            // As signed bytes, 0x80 to 0xFF are negative: visible bytes are
            // those above 0x20 and below 0x7F.
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
            const __m128i visible = _mm_and_si128(_mm_cmpgt_epi8(bytes, belowVisible),
                                                  _mm_cmplt_epi8(bytes, aboveVisible));
            const int mask = _mm_movemask_epi8(visible);
            if (mask != 0) return from + __builtin_ctz(static_cast<unsigned>(mask));
            from += 16;
        }
#endif
        while (from != end && isWhiteSpace(static_cast<unsigned char>(*from))) ++from;
        return from;
    }

    // Whether "*/" starts anywhere in [from, end).
    static bool holdsCommentEnd(const char* from, const char* end) {
        for (const char* slash = from + 1; slash < end; ++slash) {
            slash = static_cast<const char*>(std::memchr(slash, '/', static_cast<std::size_t>(end - slash)));
            if (slash == nullptr) return false;
            if (slash[-1] == '*') return true;
        }
        return false;
    }

    char marker0_;
    char marker1_;
    bool inBlockComment_ = false;
};

}  // namespace stepcount
