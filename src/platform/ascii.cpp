#include "platform/ascii.h"

#include <algorithm>
#include <cstring>

namespace stepcount::ascii {

std::string lowerCase(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), toLower);
    return lowered;
}

bool containsIgnoringCase(std::string_view text, std::string_view needle) {
    auto sameLetter = [](char a, char b) { return toLower(a) == toLower(b); };
    if (needle.empty()) return true;
    const char first = needle.front();
    if (toLower(first) != toUpper(first) || text.size() < needle.size()) {
        return std::search(text.begin(), text.end(), needle.begin(), needle.end(), sameLetter) !=
               text.end();
    }
    // A needle that begins with a byte that is no letter ("<script"): only
    // the places of that byte can start it.
    const std::string_view rest = needle.substr(1);
    const std::size_t lastStart = text.size() - needle.size();
    for (std::size_t from = 0; from <= lastStart;) {
        const void* hit = std::memchr(text.data() + from, first, lastStart - from + 1);
        if (hit == nullptr) return false;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        const std::string_view candidate = text.substr(at + 1, rest.size());
        if (std::equal(candidate.begin(), candidate.end(), rest.begin(), sameLetter)) return true;
        from = at + 1;
    }
    return false;
}

int compareEntryNames(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(toUpper(a[i]));
        const auto y = static_cast<unsigned char>(toUpper(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int raw = a.compare(b);  // bytes compared as unsigned, as memcmp
    return (raw > 0) - (raw < 0);
}

}  // namespace stepcount::ascii
