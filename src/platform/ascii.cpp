#include "platform/ascii.h"

#include <algorithm>

namespace stepcount::ascii {

std::string lowerCase(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), toLower);
    return lowered;
}

bool containsIgnoringCase(std::string_view text, std::string_view needle) {
    auto sameLetter = [](char a, char b) { return toLower(a) == toLower(b); };
    return std::search(text.begin(), text.end(), needle.begin(), needle.end(), sameLetter) !=
           text.end();
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
