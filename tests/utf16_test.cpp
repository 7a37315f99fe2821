// UTF-8 and UTF-16 conversions: known vectors, the lossless round trip of any
// UTF-16 sequence (unpaired surrogates included), bytes that are not UTF-8.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <string_view>

#include "platform/utf16.h"

namespace stepcount {
namespace {

std::string units(std::u16string_view text) {
    std::string out;
    char digits[8];
    for (const char16_t unit : text) {
        std::snprintf(digits, sizeof digits, "%04X ", static_cast<unsigned>(unit));
        out += digits;
    }
    return out;
}

struct Case {
    std::u16string_view utf16;
    std::string_view utf8;
};

TEST(Utf16, ConvertsKnownVectorsBothWays) {
    const Case cases[] = {
        {u"", ""},
        {u"readme.txt", "readme.txt"},
        {u"\u00E9\u07FF\u0800", "\xC3\xA9\xDF\xBF\xE0\xA0\x80"},       // 2- and 3-byte edges
        {u"日本語.vb", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.vb"},
        {u"\uFFFF\U00010000\U0010FFFF", "\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {u"a\U0001F600b", "a\xF0\x9F\x98\x80" "b"},                   // a surrogate pair
        {u"a\xD83D" u"b", "a\xED\xA0\xBD" "b"},                        // lone high surrogate
        {u"a\xDE00" u"b", "a\xED\xB8\x80" "b"},                        // lone low surrogate
        {u"\xDE00\xD83D", "\xED\xB8\x80\xED\xA0\xBD"},                 // low before high: no pair
        {u"x\xDBFF", "x\xED\xAF\xBF"},                                 // high at the end
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8) << units(c.utf16);
        EXPECT_EQ(units(utf8ToUtf16(c.utf8)), units(c.utf16));
    }
}

TEST(Utf16, GivesBackAnyUtf16SequenceAfterTheTripThroughUtf8) {
    std::mt19937 random(16);
    const auto between = [&random](unsigned low, unsigned high) {
        return static_cast<char16_t>(std::uniform_int_distribution<unsigned>(low, high)(random));
    };
    for (int n = 0; n < 20000; ++n) {
        std::u16string text;
        for (unsigned k = between(0, 12); k > 0; --k) {
            // Surrogates, high and low, as often as the rest, so that pairs,
            // lone ones and runs of either come up.
            const char16_t kinds[] = {between(0, 0x7F), between(0x80, 0xFFFF),
                                      between(0xD800, 0xDBFF), between(0xDC00, 0xDFFF)};
            text += kinds[between(0, 3)];
        }
        ASSERT_EQ(units(utf8ToUtf16(utf16ToUtf8(text))), units(text));
    }
}

TEST(Utf16, TurnsEachByteThatIsNotUtf8IntoAReplacementCharacter) {
    const Case cases[] = {
        {u"\uFFFD\uFFFD\uFFFD{.c", "\x93\xFA\x96\x7B.c"},           // 日本 in Shift_JIS
        {u"\uFFFD\uFFFD", "\xC0\xAF"},                              // overlong "/"
        {u"\uFFFD\uFFFD\uFFFD", "\xE0\x9F\xBF"},                    // overlong U+07FF
        {u"\uFFFD\uFFFD\uFFFD\uFFFD", "\xF4\x90\x80\x80"},          // above U+10FFFF
        {u"\uFFFD\uFFFD" u"a", "\xE6\x97" "a"},                     // cut short
        {u"日\uFFFD", "\xE6\x97\xA5\xE6"},                          // cut short at the end
        {u"\xD83D", "\xED\xA0" "\xBD"},                             // a surrogate's own form
        {u"\uFFFD\uFFFD", "\xED\xA0"},                              // ... cut short
        {u"\uFFFD\uFFFD", "\xFE\xFF"},
        // Two surrogates' forms in a row make the pair they are.
        {u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(units(utf8ToUtf16(c.utf8)), units(c.utf16)) << c.utf8;
    }
}

}  // namespace
}  // namespace stepcount
