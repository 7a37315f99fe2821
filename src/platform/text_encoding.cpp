#include "platform/text_encoding.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace stepcount {

namespace {

// Length of the UTF-8 sequence that `lead` begins, 0 for a byte that begins
// none.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = sequenceLength(lead);
        if (length == 0 || i + length > text.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        if (length >= 3) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            if (lead == 0xE0 && second < 0xA0) return false;  // overlong
            if (lead == 0xED && second > 0x9F) return false;  // surrogate
            if (lead == 0xF0 && second < 0x90) return false;  // overlong
            if (lead == 0xF4 && second > 0x8F) return false;  // above U+10FFFF
        }
        i += length;
    }
    return true;
}

TextEncoder::TextEncoder(ResultEncoding encoding) : encoding_(encoding) {
    if (encoding_ == ResultEncoding::CP932) {
        toCP932_ = ::iconv_open("CP932", "UTF-8");
        if (toCP932_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error("The C library has no CP932 conversion (iconv)");
        }
    }
}

TextEncoder::~TextEncoder() {
    if (toCP932_ != reinterpret_cast<iconv_t>(-1)) ::iconv_close(toCP932_);
}

std::string TextEncoder::encode(std::string_view text) {
    std::string out;
    appendComponent(out, text);
    return out;
}

void TextEncoder::appendPath(std::string& out, std::string_view text) {
    if (encoding_ == ResultEncoding::UTF8 || isAscii(text)) {
        out.append(text);
        return;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = text.find('/', start);
        const std::size_t end = slash == std::string_view::npos ? text.size() : slash;
        appendComponent(out, text.substr(start, end - start));
        if (slash == std::string_view::npos) return;
        out += '/';
        start = slash + 1;
    }
}

void TextEncoder::appendComponent(std::string& out, std::string_view component) {
    if (encoding_ == ResultEncoding::UTF8 || isAscii(component) || !isValidUtf8(component)) {
        out.append(component);
        return;
    }
    ::iconv(toCP932_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(component.data());
    std::size_t inLeft = component.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = ::iconv(toCP932_, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (done != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // A character without a CP932 form: one "?" in its place.
        const std::size_t skip = std::min(inLeft, sequenceLength(static_cast<unsigned char>(*in)));
        out += '?';
        in += std::max<std::size_t>(skip, 1);
        inLeft -= std::max<std::size_t>(skip, 1);
    }
}

}  // namespace stepcount
