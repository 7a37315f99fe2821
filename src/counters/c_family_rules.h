// Line rules of the C family (C, C++, Pro*C, Java) and of SQL, which differ
// only in their line-comment marker.
//
// Only the first visible byte of a line decides its class: a line that begins
// with "/*" or the line-comment marker is a comment line, any other visible
// byte makes a line of code, and a line without one is blank. A "/*" there
// enters a block comment, in which every line is a comment line until one
// holds "*/". Markers behind code, and string literals, are not recognised.
#pragma once

#include <string_view>

#include "counters/line_class.h"

namespace stepcount {

class CFamilyLineRules {
public:
    static constexpr std::string_view kCLineComment = "//";
    static constexpr std::string_view kSQLLineComment = "--";

    explicit CFamilyLineRules(std::string_view lineCommentMarker) : marker_(lineCommentMarker) {}

    // Starts a file: not inside a block comment.
    void start(int fileKind = 0);
    LineVerdict classify(std::string_view line);

    // White space of these rules: 0x00 to 0x20, 0x7F and 0x80 to 0xFF.
    static constexpr bool isWhiteSpace(unsigned char c) { return c <= 0x20 || c >= 0x7F; }

private:
    std::string_view marker_;
    bool inBlockComment_ = false;
};

}  // namespace stepcount
