#include "counters/c_family_rules.h"

namespace stepcount {

void CFamilyLineRules::start(int /*fileKind*/) { inBlockComment_ = false; }

LineVerdict CFamilyLineRules::classify(std::string_view line) {
    if (inBlockComment_) {
        if (line.find("*/") != std::string_view::npos) inBlockComment_ = false;
        return {LineClass::Comment};
    }
    std::size_t first = 0;
    while (first < line.size() && isWhiteSpace(static_cast<unsigned char>(line[first]))) ++first;
    if (first == line.size()) return {LineClass::Blank};

    const std::string_view rest = line.substr(first);
    if (rest.starts_with("/*")) {
        // The "*" of the opening "/*" may also serve the closing "*/".
        inBlockComment_ = rest.find("*/", 1) == std::string_view::npos;
        return {LineClass::Comment};
    }
    if (rest.starts_with(marker_)) return {LineClass::Comment};
    return {LineClass::Code};
}

}  // namespace stepcount
