// The result file's CP932 table against the C library's converter it was
// made from.
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

#if defined(__GLIBC__)

std::string hex(std::string_view bytes) {
    std::string out;
    char digits[4];
    for (const char byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", static_cast<unsigned char>(byte));
        out += digits;
    }
    return out;
}

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
    TextEncoder cp932(ResultEncoding::CP932);
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
