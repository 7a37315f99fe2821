// Line classes of VB and VBA: the first apostrophe, ASCII letter or digit of
// a line decides; a form or designer file begins with its property-definition
// section, which the first line holding "Attribute" or "Option Explicit" ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "counters/counters.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

constexpr LineClass B = LineClass::Blank, C = LineClass::Comment, S = LineClass::Code,
                    P = LineClass::PropertyDefinition;

TEST(VBRules, LineClasses) {
    const testing::LinesCase cases[] = {
        {"the first letter, digit or apostrophe decides",
         {"Dim x", "  ' note", "Rem old", "x = 1 ' tail", "#If DEBUG Then", "_name", "  1", "(\"'\")", "\"a'\""},
         {S, C, S, S, S, S, S, C, S}, kVBModule},
        {"a line without one is blank",
         {"", " \t ", ")", ":", "#_.()\"", "\x7f\x80\xff"}, {B, B, B, B, B, B}, kVBModule},
        {"Shift_JIS bytes count one by one",
         {"\x81\x40\x81\x40", "\x82\xa0\x82\xa2", "\x83\x41", "\x81\x40'x", "\x93\x30"},
         {B, B, S, C, S}, kVBModule},
        {"a module has no property section",
         {"VERSION 1.0 CLASS", "BEGIN", "  MultiUse = -1  'True", "END", "Attribute VB_Name = \"C\""},
         {S, S, S, S, S}, kVBModule},
        {"a form's section ends at the first Attribute, itself a step",
         {"VERSION 5.00", "Begin VB.Form F", "", "' c", "End", "Attribute VB_Name = \"F\"", "' c", "", "Sub A()"},
         {P, P, P, P, P, S, C, B, S}, kVBForm},
        {"or at Option Explicit", {"x", "  Option Explicit", "y", ""}, {P, S, S, B}, kVBForm},
        {"only the exact words end it, anywhere in a line",
         {"attribute x", "Option  Explicit", "option explicit", "OPTION EXPLICIT", "   Caption = \"Attribute\"", "z"},
         {P, P, P, P, S, S}, kVBForm},
    };
    testing::expectClasses(VBLineRules(), cases);
}

TEST(VBCounter, CountsWholeFiles) {
    const std::string form = "VERSION 5.00\r\nBegin VB.Form F\r\n   Caption = \"F\"\r\n\r\nEnd\r\n";
    // File kind, read, comment, blank, real, total, property, ratio.
    testing::expectFileCounts<mVBCalc_c>("f.frm", {
        {form + "Attribute VB_Name = \"F\"\r\nSub A()\r\nx = 1\r\nEnd Sub\r\n", {kVBForm, 9, 0, 0, 4, 4, 5, 0.0}},
        // "Attribute" counts only within the line's first 256 bytes.
        {std::string(247, ' ') + "Attribute\nx\n", {kVBForm, 2, 0, 0, 2, 2, 0, 0.0}},
        {std::string(248, ' ') + "Attribute\nx\n", {kVBForm, 2, 0, 0, 0, 0, 2, 0.0}},
        {"VERSION 5.00\nBegin VB.Form F\n\n' x\nEnd\n", {kVBForm, 5, 0, 0, 0, 0, 5, 0.0}},
    });
    testing::expectFileCounts<mVBCalc_c>("d.dsr", {{form + "Option Explicit\n' c\n\n", {kVBForm, 8, 1, 1, 1, 3, 5, 66.66666666666666}}});
    testing::expectFileCounts<mVBCalc_c>("c.CLS", {{form, {kVBModule, 5, 0, 1, 4, 5, 0, 20.0}}});
    testing::expectFileCounts<mVBCalc_c>("m.bas", {
        {"' a\n' b\n\nAttribute VB_Name = \"M\"\nSub A()\nx = 1\ny = 2\nEnd Sub", {kVBModule, 8, 2, 1, 5, 8, 0, 37.5}},
    });
}

}  // namespace
}  // namespace stepcount
