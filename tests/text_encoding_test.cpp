// UTF-8 and UTF-16 conversions (known vectors, the lossless round trip of any
// UTF-16 sequence, unpaired surrogates included, bytes that are not UTF-8),
// and the result file's encodings: the CP932 table against the C library's
// converter it was made from, and the encoder's rules for the components of
// a path.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#if defined(__GLIBC__)
#include <iconv.h>
#endif

#include "platform/cp932_table.h"
#include "platform/text_encoding.h"
#include "platform/utf16.h"

namespace stepcount {
namespace {

// The code units of a UTF-8 or UTF-16 text in hexadecimal, for failures that
// show them.
template <class Text>
std::string hex(const Text& text) {
    std::string out;
    for (const auto unit : text) {
        char digits[8];
        std::snprintf(digits, sizeof digits, sizeof unit == 1 ? "%02X " : "%04X ",
                      static_cast<unsigned>(static_cast<std::make_unsigned_t<decltype(unit)>>(unit)));
        out += digits;
    }
    return out;
}
std::string hex(const char* text) { return hex(std::string_view(text)); }

// Known vectors both ways, and bytes that are not UTF-8 one way.
TEST(Utf16, ConvertsKnownVectorsAndTurnsEachByteThatIsNotUtf8IntoAReplacement) {
    using Case = std::pair<std::u16string_view, std::string_view>;
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
    for (const auto& [utf16, utf8] : cases) {
        EXPECT_EQ(utf16ToUtf8(utf16), utf8) << hex(utf16);
        EXPECT_EQ(hex(utf8ToUtf16(utf8)), hex(utf16));
    }
    const Case notUtf8[] = {
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
    for (const auto& [utf16, utf8] : notUtf8) EXPECT_EQ(hex(utf8ToUtf16(utf8)), hex(utf16)) << utf8;
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
        ASSERT_EQ(hex(utf8ToUtf16(utf16ToUtf8(text))), hex(text));
    }
}

// glibc's bytes, written out, for names whose characters Windows' code page
// 932 converts otherwise or not at all; these hold on every system.
TEST(Cp932Names, GetGlibcsBytesOnEverySystem) {
    const std::pair<const char*, std::string_view> cases[] = {
        {"ファイル／ディレクトリ", "\x83\x74\x83\x40\x83\x43\x83\x8B\x81\x5E\x83\x66\x83\x42\x83\x8C"
                                 "\x83\x4E\x83\x67\x83\x8A"},
        // 〜 − ¥ ‖ — ¢ £ ¬: the characters where Windows' table differs.
        {"\u301C\u2212\u00A5\u2016\u2014\u00A2\u00A3\u00AC",
         "\x81\x60\x81\x7C\x5C\x81\x61\x81\x5C\x81\x91\x81\x92\x81\xCA"},
        // Their full-width forms and relatives go to the same bytes.
        {"\uFF5E\uFF0D\u2225\u2015\uFFE0\uFFE1\uFFE2\uFFE5\u203E",
         "\x81\x60\x81\x7C\x81\x61\x81\x5C\x81\x91\x81\x92\x81\xCA\x81\x8F\x7E"},
        // Trail byte 0x5C (表, 能, ソ), NEC ① and ㈱, IBM ⅰ and 髙, half-width kana.
        {"表示能力ソフト①㈱ⅰ髙ｶﾅ.vb", "\x95\x5C\x8E\xA6\x94\x5C\x97\xCD\x83\x5C\x83\x74\x83\x67"
                                     "\x87\x40\x87\x8A\xFA\x40\xFB\xFC\xB6\xC5.vb"},
        // Characters without a CP932 form, one "?" each; the tag characters of
        // a flag emoji are dropped, as the C library drops them.
        {"x😀y한글z", "x?y??z"},
        {"\U0001F3F4\U000E0067\U000E0062\U000E0073\U000E0063\U000E0074\U000E007F.c", "?.c"},
        {"Caf\u00E9 \uE000\uE757", "Caf? \xF0\x40\xF9\xFC"},  // é; the user-defined area
        // Nothing is combined or joined: combining sound marks, a byte order
        // mark, no-break and zero-width spaces, joiners, one "?" each.
        {"\u304B\u3099\u30D1\u309A", "\x82\xA9?\x83\x70?"},
        {"a\uFEFFb\u00A0c\u200Bd", "a?b?c?d"},
        {"\U0001F468\u200D\U0001F469\u200D\U0001F467 family", "????? family"},
    };
    const TextEncoder cp932(ResultEncoding::CP932);
    for (const auto& [name, bytes] : cases) EXPECT_EQ(hex(cp932.encode(name)), hex(bytes)) << name;
}

TEST(Cp932Names, ConvertEachValidComponentAndKeepInvalidOnesRaw) {
    const std::pair<std::string_view, std::string_view> cases[] = {   // path, CP932 form
        // 日本/x😀y/<日本 in Shift_JIS>/ascii
        {"\xE6\x97\xA5\xE6\x9C\xAC/x\xF0\x9F\x98\x80y/\x93\xFA\x96\x7B/ascii",
         "\x93\xFA\x96\x7B/x?y/\x93\xFA\x96\x7B/ascii"},
        // A component that turns invalid after converted characters is kept
        // whole, the other still converted.
        {"\xE6\x97\xA5\xE6\x9C\xAC\x93/\xE6\x97\xA5", "\xE6\x97\xA5\xE6\x9C\xAC\x93/\x93\xFA"},
        {"\xE6\x97\xA5\xE6\x9C/\xE6\x97\xA5", "\xE6\x97\xA5\xE6\x9C/\x93\xFA"},  // cut short
        {"/\xE6\x97\xA5//a/", "/\x93\xFA//a/"},
#if defined(_WIN32)
        {"\xFF\\\xE6\x97\xA5", "\xFF\\\x93\xFA"},   // "\" ends a component too
#else
        {"\xFF\\\xE6\x97\xA5", "\xFF\\\xE6\x97\xA5"},
#endif
        {"plain/ascii.c", "plain/ascii.c"},
        {"", ""},
    };
    const TextEncoder cp932(ResultEncoding::CP932);
    for (const auto& [path, converted] : cases) {
        std::string out = "row:";
        cp932.appendPath(out, path);
        EXPECT_EQ(hex(out), hex("row:" + std::string(converted))) << hex(path);
    }
    // encode() takes its text as one component: one invalid byte keeps it all.
    EXPECT_EQ(hex(cp932.encode("\x93/\xE6\x97\xA5")), hex("\x93/\xE6\x97\xA5"));
    EXPECT_EQ(hex(cp932.encode("\xE6\x97\xA5/\xE6\x9C\xAC")), hex("\x93\xFA/\x96\x7B"));
}

#if defined(__GLIBC__)

// Every scalar value against the C library's converter, from which the table
// was made: the table's bytes, or "?" where the converter has none.
TEST(Cp932Table, MatchesTheCLibraryForEveryScalarValue) {
    const iconv_t converter = ::iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        GTEST_SKIP() << "the C library has no iconv CP932 converter";
    }
    const auto library = [converter](char32_t c) {
        std::string text;
        appendUtf8(text, c);
        char* in = text.data();
        std::size_t inLeft = text.size();
        char buffer[16];
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        if (::iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1)) {
            return std::string(buffer, static_cast<std::size_t>(out - buffer));
        }
        EXPECT_EQ(errno, EILSEQ) << std::hex << static_cast<unsigned>(c);
        return std::string("?");
    };
    std::size_t mismatches = 0, converted = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::string table;
        if (cp932::appendCp932(table, c)) {
            ++converted;
        } else {
            table += '?';  // what the encoder writes
        }
        const std::string expected = library(c);
        if (table != expected && ++mismatches <= 20) {
            ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned>(c) << ": table "
                          << hex(table) << ", C library " << hex(expected);
        }
    }
    EXPECT_EQ(mismatches, 0u);
    // The table holds JIS X 0208, the NEC and IBM extensions, the half-width
    // kana and the user-defined area, not a few characters only.
    EXPECT_GT(converted, 9000u);
    for (const char32_t c : {0xD800u, 0xDFFFu, 0x110000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(cp932::codeOf(c), cp932::kNoForm) << std::hex << static_cast<unsigned>(c);
    }
    ::iconv_close(converter);
}

#else

TEST(Cp932Table, MatchesTheCLibraryForEveryScalarValue) {
    GTEST_SKIP() << "the table is glibc's iconv CP932 table; this C library is not glibc";
}

#endif

}  // namespace
}  // namespace stepcount
