#include "platform/utf16.h"

namespace stepcount {

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

unsigned char byteAt(std::string_view text, std::size_t pos) {
    return static_cast<unsigned char>(text[pos]);
}

// The generalized 3-byte form of a surrogate (ED A0..BF 80..BF) at `pos`.
Utf8Char readSurrogate(std::string_view text, std::size_t pos) {
    if (pos + 3 > text.size() || byteAt(text, pos) != 0xED) return {};
    const unsigned char second = byteAt(text, pos + 1);
    const unsigned char third = byteAt(text, pos + 2);
    if (second < 0xA0 || second > 0xBF || (third & 0xC0) != 0x80) return {};
    return {static_cast<char32_t>(0xD000 | (second & 0x3F) << 6 | (third & 0x3F)), 3};
}

}  // namespace

Utf8Char readUtf8(std::string_view text, std::size_t pos) {
    const unsigned char lead = byteAt(text, pos);
    if (lead < 0x80) return {lead, 1};
    std::size_t length = 0;
    char32_t c = 0;
    // The lowest and highest second byte each lead allows: the others would be
    // overlong, a surrogate or above U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {};
    }
    if (pos + length > text.size()) return {};
    const unsigned char second = byteAt(text, pos + 1);
    if (second < low || second > high) return {};
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = byteAt(text, pos + k);
        if ((next & 0xC0) != 0x80) return {};
        c = c << 6 | (next & 0x3F);
    }
    return {c, length};
}

void appendUtf8(std::string& out, char32_t c) {
    const auto byte = [&out](char32_t value) { out += static_cast<char>(value); };
    if (c < 0x80) {
        byte(c);
    } else if (c < 0x800) {
        byte(0xC0 | c >> 6);
        byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        byte(0xE0 | c >> 12);
        byte(0x80 | (c >> 6 & 0x3F));
        byte(0x80 | (c & 0x3F));
    } else {
        byte(0xF0 | c >> 18);
        byte(0x80 | (c >> 12 & 0x3F));
        byte(0x80 | (c >> 6 & 0x3F));
        byte(0x80 | (c & 0x3F));
    }
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10 | (text[i + 1] - 0xDC00));
            ++i;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        Utf8Char c = readUtf8(text, i);
        if (c.length == 0) c = readSurrogate(text, i);
        if (c.length == 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        if (c.codePoint >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c.codePoint - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c.codePoint - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c.codePoint);
        }
        i += c.length;
    }
    return out;
}

}  // namespace stepcount
