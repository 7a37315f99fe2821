#include "counters/vb_rules.h"

#include "counters/count_result.h"
#include "platform/ascii.h"

namespace stepcount {

void VBLineRules::start(int fileKind) { inBody_ = fileKind != kVBForm; }

bool VBLineRules::endsPropertySection(std::string_view line) {
    return line.find("Attribute") != std::string_view::npos ||
           line.find("Option Explicit") != std::string_view::npos;
}

}  // namespace stepcount
