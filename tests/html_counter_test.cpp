// Line classes of HTML, ASP, JSP and JavaScript: a comment-block flag shared
// by "<!--" and "/*" blocks, a script flag, and the first deciding byte.
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

TEST(HTMLRules, FirstDecidingByte) {
    const LinesCase cases[] = {
        {"markers count only at the first deciding byte",
         {"<p>", "  // c", "\t' c", " /* c */ x", "x /* y", "next", "a // b", "a ' b", "\"'\""},
         {S, C, C, C, S, S, S, S, S}},
        {"Shift_JIS lead bytes are steps, half-width katakana are not",
         {"\x82\xa0", "\x81\x40\x81\x40", "\xe0\x40", "\xfe", "\x80", "\xa1\xb1 \xdf\t", "\xa0\xff\x7f\x01",
          "\xdf" "a", "\0x"s, "\0"s},
         {S, S, S, S, S, B, B, S, S, B}},
    };
    testing::expectClasses(HTMLLineRules(), cases);
}

TEST(HTMLRules, CommentBlocks) {
    const LinesCase cases[] = {
        {"<!-- anywhere outside a script begins a block up to --> or */",
         {"<!-- a -->", "--> <!--", "<p> <!-- open", "text", "", "  ", "end -->", "<p>"},
         {C, C, C, C, B, C, C, S}},
        {"one flag for both kinds of block",
         {"<!-- open", "x */", "x", "/* open", "-->", "x"}, {C, C, S, C, C, S}},
        {"after <!--, a */ closes from the line's second byte on",
         {"*/<!--", "x", "-->", "x*/ <!--", "y", "<!--*/", "z"}, {C, C, C, C, S, C, S}},
        {"/* begins a block unless */ follows from its * on, or --> is anywhere",
         {"/*/", "x", "/* a */ y", "z", "/* a --> ", "z", "--> /* a", "z", "/* open", "", "\t", "--> x", "z"},
         {C, S, C, S, C, S, S, S, C, B, C, C, S}},
        {"/* together with <!-- counts once", {"/* <!-- x", "y */", "z"}, {C, C, S}},
    };
    testing::expectClasses(HTMLLineRules(), cases);
}

TEST(HTMLRules, Scripts) {
    const LinesCase cases[] = {
        {"inside a script <!-- begins no block and //--> is a step",
         {"<SCRIPT language=\"js\">", "<!--", "// c", "  //-->", "' c", "x = 1;", "</script >", "<!-- still",
          "</Script>", "<!-- a block", "//-->", "x"},
         {S, S, C, S, C, S, S, S, S, C, C, S}},
        {"//--> outside a script is a comment", {"//-->", "x"}, {C, S}},
        {"a script opened and closed on one line stays open",
         {"<script>x</script>", "<!-- no block", "</script>", "<!-- a block", "x"}, {S, S, S, C, C}},
        {"script tags on a line that begins in a block change nothing",
         {"<!--", "<script> -->", "<!--", "-->", "<script>", "/* open", "</script> */", "<!-- x"},
         {C, C, C, C, S, C, C, S}},
        {"a line that ends the script may begin a block",
         {"<script>", "</script><!--", "x -->", "<script>", "</script> /* x", "y"}, {S, C, C, S, S, S}},
        {"a script tag beginning the line does not hide a /* after it",
         {"<script>/* x", "y */"}, {S, S}},
    };
    testing::expectClasses(HTMLLineRules(), cases);
}

TEST(HTMLCounter, CountsWholeFiles) {
    // Read, comment, blank, real, total, ratio.
    testing::expectFileCounts<mHTMLCalc_c>("a.html", {
        {"<html>\r\n<!-- header\r\n\r\n -->\r\n<body>\r\n\r\n<p>\r\n' x\r\n<br>\r\n</html>\r\n", {10, 3, 2, 5, 10, 50.0}},
        {"/*\n * doc\n */\nvar x;\n\n// c\n", {6, 4, 1, 1, 6, 83.33333333333334}},
        // Markers count only within the line's first 256 bytes.
        {std::string(249, ' ') + "<script>\n<!-- x\nx\n", {3, 0, 0, 3, 3, 0.0}},
        {std::string(250, ' ') + "<script>\n<!-- x\nx\n", {3, 2, 0, 1, 3, 66.66666666666666}},
        {"<!--" + std::string(300, ' ') + "-->\nx\n", {2, 2, 0, 0, 2, 100.0}},
        // Flags do not carry from one file to the next.
        {"<!--\n", {1, 1, 0, 0, 1, 100.0}},
        {"x\n", {1, 0, 0, 1, 1, 0.0}},
    });
}

}  // namespace
}  // namespace stepcount
