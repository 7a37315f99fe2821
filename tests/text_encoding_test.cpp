// The result file's encodings: UTF-8 checks, the CP932 table against the C
// library's converter it was made from, and the encoder's rules for the
// components of a path.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#if defined(__GLIBC__)
#include <iconv.h>
#endif

#include "platform/cp932_table.h"
#include "platform/text_encoding.h"
#include "platform/utf16.h"

namespace stepcount {
namespace {

std::string hex(std::string_view bytes) {
    std::string out;
    char digits[4];
    for (const char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", static_cast<unsigned char>(byte));
        out += digits;
    }
    return out;
}

TEST(Utf8, AcceptsWellFormedAndRefusesMalformedText) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("abc"));
    EXPECT_TRUE(isValidUtf8("\xE6\x97\xA5\xE6\x9C\xAC"));   // 日本
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80"));           // an emoji
    EXPECT_TRUE(isValidUtf8("\xEF\xBF\xBF\xF4\x8F\xBF\xBF"));  // U+FFFF, U+10FFFF
    EXPECT_FALSE(isValidUtf8("\x93\xFA\x96\x7B"));          // 日本 in Shift_JIS
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));                  // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xE0\x9F\xBF"));              // overlong U+07FF
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));              // a surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));          // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xE6\x97"));                  // cut short
    EXPECT_FALSE(isValidUtf8("\xE6\x97" "a"));              // cut short by another character
}

// glibc's bytes, written out, for names whose characters Windows' code page
// 932 converts otherwise or not at all; these hold on every system.
TEST(Cp932Names, GetGlibcsBytesOnEverySystem) {
    struct Case {
        const char* name;
        std::string_view expected;
    };
    const Case cases[] = {
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
    };
    const TextEncoder cp932(ResultEncoding::CP932);
    for (const Case& c : cases) {
        EXPECT_EQ(hex(cp932.encode(c.name)), hex(c.expected)) << c.name;
    }
}

TEST(Cp932Names, ConvertEachValidComponentAndKeepInvalidOnesRaw) {
    struct Case {
        std::string_view path;
        std::string_view cp932;  // appendPath in CP932 output
    };
    const Case cases[] = {
        // 日本/x😀y/<日本 in Shift_JIS>/ascii
        {"\xE6\x97\xA5\xE6\x9C\xAC/x\xF0\x9F\x98\x80y/\x93\xFA\x96\x7B/ascii",
         "\x93\xFA\x96\x7B/x?y/\x93\xFA\x96\x7B/ascii"},
        // A component that turns invalid after converted characters is kept
        // whole, the other still converted.
        {"\xE6\x97\xA5\xE6\x9C\xAC\x93/\xE6\x97\xA5", "\xE6\x97\xA5\xE6\x9C\xAC\x93/\x93\xFA"},
        {"\xE6\x97\xA5\xE6\x9C/\xE6\x97\xA5", "\xE6\x97\xA5\xE6\x9C/\x93\xFA"},  // cut short
        {"/\xE6\x97\xA5//a/", "/\x93\xFA//a/"},
        {"plain/ascii.c", "plain/ascii.c"},
        {"", ""},
    };
    const TextEncoder cp932(ResultEncoding::CP932);
    const TextEncoder utf8(ResultEncoding::UTF8);
    for (const Case& c : cases) {
        std::string out = "row:";
        cp932.appendPath(out, c.path);
        EXPECT_EQ(hex(out), hex("row:" + std::string(c.cp932))) << hex(c.path);
        out = "row:";
        utf8.appendPath(out, c.path);
        EXPECT_EQ(hex(out), hex("row:" + std::string(c.path)));
        EXPECT_EQ(hex(utf8.encode(c.path)), hex(c.path));
    }
    // encode() takes its text as one component: one invalid byte keeps it all.
    EXPECT_EQ(hex(cp932.encode("\x93/\xE6\x97\xA5")), hex("\x93/\xE6\x97\xA5"));
    EXPECT_EQ(hex(cp932.encode("\xE6\x97\xA5/\xE6\x9C\xAC")), hex("\x93\xFA/\x96\x7B"));
}

#if defined(__GLIBC__)

std::string utf8Of(char32_t c) {
    std::string out;
    appendUtf8(out, c);
    return out;
}

// The C library's converter, from which the table was made.
class LibraryConverter {
public:
    LibraryConverter() : converter_(::iconv_open("CP932", "UTF-8")) {}
    ~LibraryConverter() {
        if (available()) ::iconv_close(converter_);
    }
    LibraryConverter(const LibraryConverter&) = delete;
    LibraryConverter& operator=(const LibraryConverter&) = delete;

    bool available() const { return converter_ != reinterpret_cast<iconv_t>(-1); }

    // `text` (valid UTF-8) converted in one go, each character the converter
    // refuses replaced by one "?".
    std::string convert(std::string_view text) {
        ::iconv(converter_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        char* in = const_cast<char*>(text.data());
        std::size_t inLeft = text.size();
        while (inLeft > 0) {
            char buffer[64];
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t done = ::iconv(converter_, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
            EXPECT_EQ(errno, EILSEQ) << hex(text);
            if (errno != EILSEQ) break;
            const std::size_t length = readUtf8(std::string_view(in, inLeft), 0).length;
            EXPECT_GT(length, 0u) << hex(text);
            if (length == 0) break;
            out += '?';
            in += length;
            inLeft -= length;
        }
        return out;
    }

private:
    iconv_t converter_;
};

#define SKIP_WITHOUT_LIBRARY_CONVERTER(converter) \
    if (!(converter).available()) GTEST_SKIP() << "the C library has no iconv CP932 converter"

TEST(Cp932Table, MatchesTheCLibraryForEveryScalarValue) {
    LibraryConverter library;
    SKIP_WITHOUT_LIBRARY_CONVERTER(library);
    std::size_t mismatches = 0;
    std::size_t converted = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::string table;
        if (cp932::appendCp932(table, c)) {
            ++converted;
        } else {
            table += '?';  // what the encoder writes
        }
        const std::string expected = library.convert(utf8Of(c));
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
}

// Whole names, converted in one go by the C library and character by character
// by the encoder.
TEST(Cp932Table, ConvertsWholeNamesAsTheCLibraryDoes) {
    LibraryConverter library;
    SKIP_WITHOUT_LIBRARY_CONVERTER(library);
    std::vector<std::string> names = {
        "report_日本語😀テスト.vb",
        "資料한국어データ(2)版.sql",
        "\u304B\u3099\u30D1\u309A",  // か and パ with combining sound marks
        "a\uFEFFb\u00A0c\u200Bd",    // byte order mark, no-break space, zero-width space
        "\U0001F3F4\U000E0067\U000E0062\U000E0065\U000E006E\U000E0067\U000E007F旗",
        "〜−¥‖—¢£¬～－∥―￠￡￢",
        "①Ⅰ㈱ⅰ髙﨑ｶﾞｷﾞ\uE000Привет Γειά",
        "👨‍👩‍👧 family ✓ done",
    };
    // And random ones mixing ASCII, characters of the whole Basic Multilingual
    // Plane and others above it.
    std::mt19937 random(932);
    const auto between = [&random](unsigned low, unsigned high) {
        return static_cast<char32_t>(std::uniform_int_distribution<unsigned>(low, high)(random));
    };
    for (int n = 0; n < 3000; ++n) {
        std::string name;
        for (unsigned k = between(1, 16); k > 0; --k) {
            const char32_t kinds[] = {between(0x20, 0x7E), between(0x3000, 0x9FFF),
                                      between(0x80, 0xFFFF), between(0x10000, 0x10FFFF)};
            char32_t c = kinds[between(0, 3)];
            if (c >= 0xD800 && c <= 0xDFFF) c = 0xFF5E;
            appendUtf8(name, c);
        }
        names.push_back(name);
    }
    const TextEncoder cp932(ResultEncoding::CP932);
    for (const std::string& name : names) {
        ASSERT_EQ(hex(cp932.encode(name)), hex(library.convert(name))) << name;
    }
}

#else

TEST(Cp932Table, MatchesTheCLibraryForEveryScalarValue) {
    GTEST_SKIP() << "the table is glibc's iconv CP932 table; this C library is not glibc";
}

#endif

}  // namespace
}  // namespace stepcount
