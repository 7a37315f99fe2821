// Line classes of fixed-format COBOL, by column: the indicator in column 7,
// the division headers from column 8, and the text of columns 7 to 72; and
// the division each line is attributed to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "counters/counters.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

constexpr LineClass B = LineClass::Blank, C = LineClass::Comment, S = LineClass::Code, D = LineClass::Debug,
                    K = LineClass::Continuation;
constexpr Division None = Division::None, Id = Division::Identification, Env = Division::Environment,
                   Data = Division::Data, Proc = Division::Procedure;

// Seven spaces: the sequence area and an empty indicator.
const std::string A = "       ";

struct LinesCase {
    const char* what;
    std::vector<std::string> lines;
    std::vector<LineVerdict> verdicts;
};

TEST(COBOLRules, LineClassesAndDivisions) {
    const LinesCase cases[] = {
        {"lines before the first header belong to no division",
         {"000100*note", "000100", "", "12345", "000100 MOVE", "      D X", "      -'A'"},
         {{C, None}, {B, None}, {B, None}, {B, None}, {S, None}, {D, None}, {K, None}}},
        {"the headers, each making its division current",
         {"000100 IDENTIFICATION DIVISION.", A + "PROGRAM-ID. X.", "      *c", A + "ENVIRONMENT DIVISION.",
          A + "DATA DIVISION. x", A + "PROCEDURE DIVISION.", A + "    STOP RUN."},
         {{S, Id}, {S, Id}, {C, Id}, {S, Env}, {S, Data}, {S, Proc}, {S, Proc}}},
        {"only the exact bytes from column 8 make a header",
         {A + "IDENTIFICATION DIVISION.", A + " ENVIRONMENT DIVISION.", A + "PROCEDURE DIVISION USING A.",
          A + "procedure division.", A + "DATA DIVISION", A + "IDENTIFICATION DIVISION.", "      dDATA DIVISION."},
         {{S, Id}, {S, Id}, {S, Id}, {S, Id}, {S, Id}, {S, Id}, {S, Data}}},
        {"a passed division is never entered again",
         {A + "DATA DIVISION.", A + "ENVIRONMENT DIVISION.", A + "IDENTIFICATION DIVISION.",
          A + "PROCEDURE DIVISION.", A + "DATA DIVISION."},
         {{S, Data}, {S, Data}, {S, Data}, {S, Proc}, {S, Proc}}},
        {"the indicator column",
         {A + "DATA DIVISION.", "      *", "      /", "      D    DISPLAY X.", "      d    DISPLAY X.",
          "      -    'LIT'.", "      $", "      D", "      -"},
         {{S, Data}, {C, Data}, {C, Data}, {D, Data}, {S, Data}, {K, None}, {S, Data}, {D, Data}, {K, None}}},
        {"only columns 7 to 72 hold text",
         {A + "DATA DIVISION.", A, "\t\t\t\t\t\t\t", "ABCDEF ", "ABCDEF" + std::string(65, ' ') + "X",
          "ABCDEF" + std::string(66, ' ') + "X", A + "\x7f\x80\xff\x01", "000100"},
         {{S, Data}, {B, Data}, {B, Data}, {B, Data}, {S, Data}, {B, Data}, {B, Data}, {B, None}}},
        {"Shift_JIS bytes count one by one",
         {A + "DATA DIVISION.", A + "\x82\xa0\x82\xa2", A + "\x81\x40", "      \x82\xa0", "      \x83\x41"},
         {{S, Data}, {B, Data}, {S, Data}, {B, Data}, {S, Data}}},
    };
    for (const LinesCase& c : cases) {
        EXPECT_EQ(testing::verdictsOf(COBOLLineRules(), c.lines), c.verdicts) << c.what;
    }
}

TEST(COBOLCounter, CountsWholeFiles) {
    // Read, comment, debug, blank, real, total, and the lines of the
    // identification, environment, data and procedure divisions, and the ratio.
    testing::expectFileCounts<mCOBOLCalc_c>("PROG.COB", {
        {A + "IDENTIFICATION DIVISION.\r\n" + A + "ENVIRONMENT DIVISION.\r\n" + A + "DATA DIVISION.\r\n" +
             "      * c\r\n" + A + "PROCEDURE DIVISION.\r\n" + A + "    DISPLAY 'A'.\r\n" + A + "\r\n" +
             "      / c\r\n" + A + "    STOP RUN.\r\n" + A + "    \r\n",
         {10, 2, 0, 2, 6, 10, 1, 1, 2, 6, 40.0}},
        {"      * before\n000100\n" + A + "IDENTIFICATION DIVISION.\n      D    DISPLAY 1.\n" +
             "      -    'A'.\n      -    'B'.\n" + A + "X.\n",
         {7, 1, 1, 1, 2, 4, 3, 0, 0, 0, 50.0}},
        // A line longer than the window is classified by its first 72 columns.
        {std::string(72, ' ') + std::string(300, 'X') + "\n" + A + "MOVE" + std::string(300, ' ') + "\n",
         {2, 0, 0, 1, 1, 2, 0, 0, 0, 0, 50.0}},
        // The ratio is divided first, then multiplied by 100: 33.33333333333333,
        // not the 33.333333333333336 of multiplying first.
        {"      *\n       A\n       B\n", {3, 1, 0, 0, 2, 3, 0, 0, 0, 0, 33.33333333333333}},
        // Divisions do not carry from one file to the next.
        {A + "X.\n", {1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0.0}},
        {"      D    DISPLAY X.\n      -    'LITERAL'.\n", {2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0.0}},
    });
}

}  // namespace
}  // namespace stepcount
