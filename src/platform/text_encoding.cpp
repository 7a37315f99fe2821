#include "platform/text_encoding.h"

#include <algorithm>

#include "platform/cp932_table.h"
#include "platform/file_system.h"
#include "platform/utf16.h"

namespace stepcount {

namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string TextEncoder::encode(std::string_view text) const {
    std::string out;
    appendComponent(out, text);
    return out;
}

void TextEncoder::appendPath(std::string& out, std::string_view text) const {
    if (encoding_ == ResultEncoding::UTF8 || isAscii(text)) {
        out.append(text);
        return;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t separator = text.find_first_of(kPathSeparators, start);
        const std::size_t end = separator == std::string_view::npos ? text.size() : separator;
        appendComponent(out, text.substr(start, end - start));
        if (separator == std::string_view::npos) return;
        out += text[separator];
        start = separator + 1;
    }
}

void TextEncoder::appendComponent(std::string& out, std::string_view component) const {
    if (encoding_ == ResultEncoding::UTF8 || isAscii(component)) {
        out.append(component);
        return;
    }
    const std::size_t start = out.size();
    std::size_t i = 0;
    while (i < component.size()) {
        const Utf8Char c = readUtf8(component, i);
        if (c.length == 0) {
            // Not UTF-8: the component's raw bytes instead of what was converted.
            out.resize(start);
            out.append(component);
            return;
        }
        // A character without a CP932 form: one "?" in its place.
        if (!cp932::appendCp932(out, c.codePoint)) out += '?';
        i += c.length;
    }
}

}  // namespace stepcount
