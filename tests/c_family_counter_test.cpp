// Line classes of C, C++, Pro*C, Java and SQL: only the first visible byte of
// a line decides, and a block comment runs from "/*" to the next "*/".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "counters/counters.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using namespace std::string_literals;
using testing::LinesCase;
constexpr LineClass B = LineClass::Blank, C = LineClass::Comment, S = LineClass::Code;

void expectClasses(LineCommentMarker marker, const std::vector<LinesCase>& cases) {
    testing::expectClasses(CFamilyLineRules(marker), cases);
}

TEST(CFamilyRules, C) {
    expectClasses(CFamilyLineRules::kCLineComment, {
        {"the first visible byte decides",
         {"int x;", "   // note", "\t/* c */ int y;", "x = 1; // tail", "/x", "#include <a.h>", "\"/*\"", "-- x"},
         {S, C, C, S, S, S, S, S}},
        {"white space is 0x00-0x20, 0x7F and 0x80-0xFF",
         {"", "\t", "\v\f \x01\x1f", "\x7f\x80\xff", "\x82\xa0", "\x81\x40", "\0\0x"s, "\x82\xa0" "a"},
         {B, B, B, B, B, S, S, S}},
        {"a /* behind code enters no block",
         {"x = 1; /* start", " * more", "*/ y = 2;"}, {S, S, S}},
        {"inside a block every line is a comment, the empty one too",
         {"/* open", "", "code", "  */ x = 1;", "x"}, {C, C, C, C, S}},
        {"the * of /* may serve */; the rest of the line is not looked at",
         {"/*/", "x", "/**/ y", "z", "/* a */ /* b", "w", "  /* a */ x", "y"}, {C, S, C, S, C, S, C, S}},
        {"a block never closed runs to the end of the file",
         {"  /* never closed", "", "\t", "int x; */"}, {C, C, C, C}},
    });
}

TEST(CFamilyRules, SQL) {
    expectClasses(CFamilyLineRules::kSQLLineComment, {
        {"line comments",
         {"-- note", " \t---", "-1", "- 1", "// x", "select 1 -- tail", "/*+ hint */ select", "-- /* no block", "x"},
         {C, C, S, S, S, S, C, C, S}},
        {"block comments", {"/* open", "-- */ closes", "select", "x /* no block", "y"}, {C, C, S, S, S}},
    });
}

TEST(CFamilyCounter, CountsWholeFiles) {
    // Read, comment, blank, real, total, ratio.
    // A count without steps has the status 0 and the ratio 0.
    testing::expectFileCounts<mVCCalc_c>("x.c", {
        {"", {0, 0, 0, 0, 0, 0.0}},
        {"// c\n\nint a;\nint b;", {4, 1, 1, 2, 4, 50.0}},
        {"a\r\nb\r\n", {2, 0, 0, 2, 2, 0.0}},
        {"a\n\n", {2, 0, 1, 1, 2, 50.0}},
        {"a\rb\n\r\n/*\r*/", {5, 2, 1, 2, 5, 60.0}},
        {std::string(256, ' ') + "x\n" + std::string(255, ' ') + "x\n", {2, 0, 1, 1, 2, 50.0}},
        // The "*/" lies beyond the window: the block stays open.
        {std::string(300, 'x') + "\n/*" + std::string(300, ' ') + "*/\nx\n", {3, 2, 0, 1, 3, 66.66666666666666}},
        // A block left open in one file does not reach into the next.
        {"x\n/* open\n", {2, 1, 0, 1, 2, 50.0}},
        {"x\n", {1, 0, 0, 1, 1, 0.0}},
        {"x\0/* still code\0\ny\n"s, {2, 0, 0, 2, 2, 0.0}},
    });
    testing::expectFileCounts<mSQLCalc_c>("x.sql", {
        {"-- a\n/* b\n c */\n\nselect 1\nfrom t\nwhere x = 1\n;\n", {8, 3, 1, 4, 8, 50.0}},
        {"--\r\n\r\nselect\r", {3, 1, 1, 1, 3, 66.66666666666666}},
    });
}

}  // namespace
}  // namespace stepcount
