#include "counters/vb_rules.h"

#include "counters/count_result.h"
#include "platform/ascii.h"

namespace stepcount {

void VBLineRules::start(int fileKind) { inBody_ = fileKind != kVBForm; }

LineVerdict VBLineRules::classify(std::string_view line) {
    if (!inBody_) {
        if (line.find("Attribute") != std::string_view::npos ||
            line.find("Option Explicit") != std::string_view::npos) {
            inBody_ = true;
        } else {
            return {LineClass::PropertyDefinition};
        }
    }
    for (const char byte : line) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == '\'') return {LineClass::Comment};
        if (ascii::isLetterOrDigit(c)) return {LineClass::Code};
    }
    return {LineClass::Blank};
}

}  // namespace stepcount
