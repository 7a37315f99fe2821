// Line rules of VB and VBA.
//
// A form or designer file (kind kVBForm) begins with its property-definition
// section: every line up to the first one that holds "Attribute" or
// "Option Explicit" (exact, case-sensitive, anywhere in the line) is a
// property-definition line. The line that ends the section and every later
// line, and every line of a module, are classified by their first deciding
// byte: an apostrophe makes a comment line, an ASCII letter or digit a line
// of code; a line without either is blank. A Rem statement is code.
#pragma once

#include <string_view>

#include "counters/line_class.h"
#include "platform/ascii.h"

namespace stepcount {

class VBLineRules {
public:
    // Starts a file of the given kind (kVBModule or kVBForm).
    void start(int fileKind);
    LineVerdict classify(std::string_view line) {
        if (!inBody_ && !endsPropertySection(line)) return {LineClass::PropertyDefinition};
        inBody_ = true;
        for (const char byte : line) {
            const auto c = static_cast<unsigned char>(byte);
            if (c == '\'') return {LineClass::Comment};
            if (ascii::isLetterOrDigit(c)) return {LineClass::Code};
        }
        return {LineClass::Blank};
    }

private:
    static bool endsPropertySection(std::string_view line);

    bool inBody_ = true;
};

}  // namespace stepcount
