#include "counters/html_rules.h"

#include "platform/ascii.h"

namespace stepcount {

namespace {

bool holds(std::string_view line, std::string_view marker, std::size_t from = 0) {
    return line.find(marker, from) != std::string_view::npos;
}

}  // namespace

void HTMLLineRules::start(int /*fileKind*/) { inBlock_ = inScript_ = false; }

LineVerdict HTMLLineRules::classify(std::string_view line) {
    if (line.empty()) return {LineClass::Blank};

    // A line that begins inside a block neither looks at nor changes the
    // script flag.
    if (inBlock_) {
        if (holds(line, "*/") || holds(line, "-->")) inBlock_ = false;
        return {LineClass::Comment};
    }

    // "<script", "</script>" and "<!--" all begin with "<": the part of the
    // line before its first "<" holds none of them.
    const std::size_t firstAngle = line.find('<');
    const std::string_view fromAngle =
        firstAngle == std::string_view::npos ? std::string_view() : line.substr(firstAngle);
    if (!inScript_) {
        if (ascii::containsIgnoringCase(fromAngle, "<script")) inScript_ = true;
    } else if (ascii::containsIgnoringCase(fromAngle, "</script>")) {
        inScript_ = false;
    }

    if (!inScript_ && holds(fromAngle, "<!--")) {
        inBlock_ = !(holds(line, "*/", 1) || holds(line, "-->"));
        return {LineClass::Comment};
    }

    for (std::size_t i = 0; i < line.size(); ++i) {
        const std::string_view rest = line.substr(i);
        if (rest.starts_with("/*")) {
            inBlock_ = !(holds(line, "*/", i + 1) || holds(line, "-->"));
            return {LineClass::Comment};
        }
        if (rest.starts_with("//")) {
            if (inScript_ && rest.starts_with("//-->")) return {LineClass::Code};
            return {LineClass::Comment};
        }
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '\'') return {LineClass::Comment};
        if (isStepByte(c)) return {LineClass::Code};
    }
    return {LineClass::Blank};
}

}  // namespace stepcount
