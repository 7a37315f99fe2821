// UTF-8 and UTF-16 conversions: known vectors, the lossless round trip of any
// UTF-16 sequence (unpaired surrogates included), bytes that are not UTF-8.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <string_view>

#include "platform/text_encoding.h"
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

TEST(Utf16, ConvertsKnownVectorsBothWays) {
    struct Case {
        std::u16string_view utf16;
        std::string_view utf8;
    };
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
        const std::string utf8 = utf16ToUtf8(text);
        ASSERT_EQ(units(utf8ToUtf16(utf8)), units(text));
        // Without an unpaired surrogate the UTF-8 is well-formed, with one it
        // is not.
        const auto isLow = [](char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
        bool unpaired = false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
            if (high && i + 1 < text.size() && isLow(text[i + 1])) {
                ++i;
            } else if (text[i] >= 0xD800 && text[i] <= 0xDFFF) {
                unpaired = true;
            }
        }
        ASSERT_EQ(isValidUtf8(utf8), !unpaired) << units(text);
    }
}

TEST(Utf16, TurnsEachByteThatIsNotUtf8IntoAReplacementCharacter) {
    struct Case {
        std::string_view utf8;
        std::u16string_view utf16;
    };
    const Case cases[] = {
        {"\x93\xFA\x96\x7B.c", u"\uFFFD\uFFFD\uFFFD{.c"},           // 日本 in Shift_JIS
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                              // overlong "/"
        {"\xE0\x9F\xBF", u"\uFFFD\uFFFD\uFFFD"},                    // overlong U+07FF
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},          // above U+10FFFF
        {"\xE6\x97" "a", u"\uFFFD\uFFFD" u"a"},                     // cut short
        {"\xE6\x97\xA5\xE6", u"日\uFFFD"},                          // cut short at the end
        {"\xED\xA0" "\xBD", u"\xD83D"},                             // a surrogate's own form
        {"\xED\xA0", u"\uFFFD\uFFFD"},                              // ... cut short
        {"\xFE\xFF", u"\uFFFD\uFFFD"},
        // Two surrogates' forms in a row make the pair they are.
        {"\xED\xA0\xBD\xED\xB8\x80", u"\U0001F600"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(units(utf8ToUtf16(c.utf8)), units(c.utf16)) << c.utf8;
    }
}

}  // namespace
}  // namespace stepcount
