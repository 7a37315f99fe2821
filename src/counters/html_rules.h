// Line rules of HTML, ASP, JSP and JavaScript.
//
// Two flags carry from line to line: inside a comment block, and inside a
// script element. One flag serves both kinds of block, so "*/" also ends a
// block begun by "<!--" and "-->" one begun by "/*".
//
// - An empty line is blank, in every state, and changes no flag.
// - On a line that begins outside a block, "<script" turns the script flag on
//   (while off) or "</script>" turns it off (while on), ASCII letters in any
//   case; the line is then classified with the new flag.
// - A line that begins inside a block is a comment line; "*/" or "-->"
//   anywhere in it ends the block.
// - Outside a script, "<!--" anywhere makes a comment line and begins a block,
//   unless the line also holds "-->" anywhere or "*/" from its second byte on.
// - Otherwise the first deciding byte decides: "/*" makes a comment line and
//   begins a block unless "*/" follows from the next byte on or "-->" occurs
//   anywhere; "//" makes a comment line, except "//-->" inside a script, which
//   is code; an apostrophe makes a comment line; any other step byte makes
//   code. A line without a step byte is blank.
#pragma once

#include <string_view>

#include "counters/line_class.h"

namespace stepcount {

class HTMLLineRules {
public:
    // Starts a file: outside a block and outside a script.
    void start(int fileKind = 0);
    LineVerdict classify(std::string_view line);

    // Step bytes: printable ASCII other than the space (0x21 to 0x7E) and the
    // lead bytes of Shift_JIS double-byte characters (0x80 to 0x9F and 0xE0
    // to 0xFE). Half-width katakana (0xA1 to 0xDF) are no step bytes.
    static constexpr bool isStepByte(unsigned char c) {
        return (c >= 0x21 && c <= 0x7E) || (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFE);
    }

private:
    bool inBlock_ = false;
    bool inScript_ = false;
};

}  // namespace stepcount
