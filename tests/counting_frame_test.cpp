// The five counters: what their frame gives them all (the type checks, the
// status codes, when the caller's record is copied, the error dialogs), and
// each language's line rules with the sums of whole files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "counters/counters.h"
#include "counters/languages.h"
#include "platform/exception.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using namespace std::string_literals;
using testing::LinesCase;
using testing::RecordingDisplay;
using testing::TempDir;
using Texts = std::vector<std::string>;
constexpr LineClass B = LineClass::Blank, C = LineClass::Comment, S = LineClass::Code,
                    P = LineClass::PropertyDefinition, D = LineClass::Debug,
                    K = LineClass::Continuation;
constexpr Division None = Division::None, Id = Division::Identification,
                   Env = Division::Environment, Data = Division::Data, Proc = Division::Procedure;

std::string dialog(const std::string& message, const std::string& label, int line) {
    return message + " \n関数名称：" + label + "　行番号:" + std::to_string(line);
}

// A language for exercising the frame itself: it takes files ending in ".t";
// the extension "boom" makes its type check fail, a line "boom" its line
// rules, and a line "oom" runs out of memory.
struct FailingLanguage {
    using Record = CountResult;
    struct Rules {
        void start(int) {}
        LineVerdict classify(std::string_view line) {
            if (line == "boom") throw Exception("line rules failed");
            if (line == "oom") throw std::bad_alloc();
            return {line.empty() ? LineClass::Blank : LineClass::Code};
        }
    };
    static int fileKind(std::string_view extension) {
        if (extension == "boom") throw Exception("type check failed");
        return extension == "t" ? 0 : -1;
    }
    static constexpr texts::CounterFailureSites kFailureSites{
        {"Failing::fiCalcFile", 1}, {"Failing::fiExcCalc", 2}, {"Failing::fiChkType", 3}};
};
using FailingCounter = CountingFrame<FailingLanguage>;

// Counts `path` with a fresh counter into a record filled with a byte pattern
// that no count produces; checks the status, that nothing was copied into the
// record, and the dialogs shown.
void expectFailure(const std::string& path, int status, const Texts& dialogs) {
    RecordingDisplay display;
    CountResult result;
    std::memset(&result, 0xA5, sizeof result);
    EXPECT_EQ(FailingCounter(display).fiCalcFile(path, result), status) << path;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&result);
    EXPECT_TRUE(std::all_of(bytes, bytes + sizeof result, [](auto b) { return b == 0xA5; }))
        << path;
    EXPECT_EQ(display.messages, dialogs) << path;
}

// A failing type check shows only its own dialog and refuses the path; a
// failure while counting shows the count's dialog; neither copies anything.
TEST(CounterFailures, EachFailureShowsItsOperationsDialogAndCopiesNothing) {
    const Texts typeCheckDialog{dialog("type check failed", "Failing::fiChkType", 3)};
    expectFailure("x.boom", kNotOfLanguage, typeCheckDialog);
    RecordingDisplay display;
    FailingCounter counter(display);
    EXPECT_EQ(counter.fiChkType("x.boom"), kFailureShown);
    EXPECT_EQ(display.messages, typeCheckDialog);

    TempDir dir;
    expectFailure(dir.write("a.t", "x\n\nx\nboom\nx\n"), kFailureShown,
                  {dialog("line rules failed", "Failing::fiExcCalc", 2)});
    expectFailure(dir.write("b.t", "x\noom\n"), kFailureShown,
                  {dialog("Out of memory", "Failing::fiExcCalc", 2)});
    // The same counter counts the next file from zero.
    EXPECT_EQ(counter.fiExcCalc(dir.at("a.t")), kFailureShown);
    CountResult result{};
    EXPECT_EQ(counter.fiCalcFile(dir.write("c.t", "x\n\n"), result), kCounted);
    EXPECT_EQ(testing::countsOf(result), (testing::Counts{2, 0, 1, 1, 2, 50.0}));
}

// Every counter of the language table names its own count in its dialog; a
// path its type check refuses is not even opened.
TEST(CounterFailures, AMissingFileShowsEachCountersCountDialog) {
    TempDir dir;
    const struct {
        LanguageId language;
        const char* name;
        const char* label;   // nullptr: a path the type check refuses, not even opened
        int line;
    } cases[] = {
        {LanguageId::VC, "a.c", "mVCCalc_c::fiExcCalc", 159},
        {LanguageId::SQL, "a.sql", "mSQLCalc_c::fiExcCalc", 159},
        {LanguageId::VB, "a.frm", "mVBCalc_c::fiExcCalc", 139},
        {LanguageId::HTML, "a.htm", "mHTMLCalc_c::fiExcCalc", 209},
        {LanguageId::COBOL, "a.cob", "mCOBOLCalc_c::fiExcCalc", 242},
        {LanguageId::VB, "a.txt", nullptr, 0},
        {LanguageId::COBOL, "a.txt", nullptr, 0},
    };
    for (const auto& c : cases) {
        RecordingDisplay display;
        FileCount count;
        FileFacts facts;
        const std::string path = dir.at(c.name);
        const int status = languageOf(c.language).makeCounter(display)->count(path, count, facts);
        EXPECT_EQ(status, c.label ? kFailureShown : kNotOfLanguage) << c.name;
        EXPECT_FALSE(isCounted(count)) << c.name;
        const std::string message = "Cannot open file \"" + path + "\": No such file or directory";
        EXPECT_EQ(display.messages, c.label ? Texts{dialog(message, c.label, c.line)} : Texts{}) << c.name;
    }
}

TEST(TypeChecks, TheLastDotOfTheWholePathDecidesInAnyLetterCase) {
    RecordingDisplay display;
    const struct {
        LanguageId language;
        Texts accepted, refused;
    } cases[] = {
        {LanguageId::VC, {"DEFS.H", "Main.Java", "x.Cpp", "x.PC", "src.old/a.c", "a.java"},
         {"x.hpp", "x.cc", "x.c~", "x.cxx", "x.jav", "Makefile", "src.old/README", "x.", "a.c/"}},
        {LanguageId::SQL, {"a.sql", "B.SQL", "c.Sql"},
         {"a.ddl", "a.pls", "a.sql~", "a.sql.bak", "sql", "db.sql/README"}},
        {LanguageId::HTML, {"a.htm", "INDEX.HTML", "x.asp", "x.js", "x.Jsp"},
         {"a.shtml", "a.php", "a.css", "html", "x.", "www.html/index"}},
        {LanguageId::COBOL, {"PROG.COB", "a.cob"},
         {"prog.cbl", "PROG", "src.cob/PROG", "a.cob.bak"}},
    };
    for (const auto& c : cases) {
        const auto counter = languageOf(c.language).makeCounter(display);
        int kind = 0;
        for (const std::string& path : c.accepted) {
            EXPECT_EQ(counter->checkType(path, kind), kCounted) << path;
        }
        for (const std::string& path : c.refused) {
            EXPECT_EQ(counter->checkType(path, kind), kNotOfLanguage) << path;
        }
    }
    // The VB check also tells the kind of file.
    const std::pair<const char*, std::int32_t> vbCases[] = {
        {"M.BAS", kVBModule}, {"c.cls", kVBModule}, {"F.Frm", kVBForm}, {"v1.2/d.DSR", kVBForm},
        {"p.vbp", kVBNoFile}, {"t.txt", kVBNoFile}, {"bas", kVBNoFile}, {"x.", kVBNoFile},
        {"f.frm/README", kVBNoFile},
    };
    mVBCalc_c vb(display);
    for (const auto& [path, kind] : vbCases) {
        VBCountResult scratch{};
        scratch.iFileType = 7;
        EXPECT_EQ(vb.fiGetType(path, scratch), kind == kVBNoFile ? kNotOfLanguage : kCounted) << path;
        EXPECT_EQ(scratch.iFileType, kind) << path;
    }
    EXPECT_TRUE(display.messages.empty());
}

// C, C++, Pro*C, Java and SQL: only the first visible byte of a line decides,
// and a block comment runs from "/*" to the next "*/".
TEST(CFamilyRules, CAndSQL) {
    using Cases = std::vector<LinesCase>;
    testing::expectClasses(CFamilyLineRules(CFamilyLineRules::kCLineComment), Cases{
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
    // SQL: the same with "--".
    testing::expectClasses(CFamilyLineRules(CFamilyLineRules::kSQLLineComment), Cases{
        {"line comments",
         {"-- note", " \t---", "-1", "- 1", "// x", "select 1 -- tail", "/*+ hint */ select", "-- /* no block", "x"},
         {C, C, S, S, S, S, C, C, S}},
        {"block comments", {"/* open", "-- */ closes", "select", "x /* no block", "y"}, {C, C, S, S, S}},
    });
}

// VB and VBA: the first apostrophe, ASCII letter or digit of a line decides; a
// form or designer file begins with its property-definition section, which
// the first line holding "Attribute" or "Option Explicit" ends.
TEST(VBRules, LineClasses) {
    const LinesCase cases[] = {
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

// HTML, ASP, JSP and JavaScript: a comment-block flag shared by "<!--" and
// "/*" blocks, a script flag, and the first deciding byte.
TEST(HTMLRules, FirstDecidingByteCommentBlocksAndScripts) {
    const LinesCase cases[] = {
        {"markers count only at the first deciding byte",
         {"<p>", "  // c", "\t' c", " /* c */ x", "x /* y", "next", "a // b", "a ' b", "\"'\""},
         {S, C, C, C, S, S, S, S, S}},
        {"Shift_JIS lead bytes are steps, half-width katakana are not",
         {"\x82\xa0", "\x81\x40\x81\x40", "\xe0\x40", "\xfe", "\x80", "\xa1\xb1 \xdf\t", "\xa0\xff\x7f\x01",
          "\xdf" "a", "\0x"s, "\0"s},
         {S, S, S, S, S, B, B, S, S, B}},
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

// Fixed-format COBOL, by column: the indicator in column 7, the division
// headers from column 8, and the text of columns 7 to 72; and the division
// each line is attributed to.

// Seven spaces: the sequence area and an empty indicator.
const std::string A = "       ";

TEST(COBOLRules, LineClassesAndDivisions) {
    const struct {
        const char* what;
        std::vector<std::string> lines;
        std::vector<LineVerdict> verdicts;
    } cases[] = {
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
    for (const auto& c : cases) {
        EXPECT_EQ(testing::verdictsOf(COBOLLineRules(), c.lines), c.verdicts) << c.what;
    }
}

// Each counter over whole files, one after another: markers count only within
// a line's window, and no state is carried from one file to the next; a count
// without steps has the ratio 0.
TEST(Counters, CountWholeFiles) {
    // Read, comment, blank, real, total, ratio.
    testing::expectFileCounts<mVCCalc_c>("x.c", {
        {"", {0, 0, 0, 0, 0, 0.0}},
        {std::string(256, ' ') + "x\n" + std::string(255, ' ') + "x\n", {2, 0, 1, 1, 2, 50.0}},
        // The "*/" lies beyond the window: the block stays open.
        {std::string(300, 'x') + "\n/*" + std::string(300, ' ') + "*/\nx\n",
         {3, 2, 0, 1, 3, 66.66666666666666}},
        {"x\n/* open\n", {2, 1, 0, 1, 2, 50.0}},
        {"x\n", {1, 0, 0, 1, 1, 0.0}},
    });
    testing::expectFileCounts<mHTMLCalc_c>("a.html", {
        {std::string(249, ' ') + "<script>\n<!-- x\nx\n", {3, 0, 0, 3, 3, 0.0}},
        {std::string(250, ' ') + "<script>\n<!-- x\nx\n", {3, 2, 0, 1, 3, 66.66666666666666}},
        {"<!--" + std::string(300, ' ') + "-->\nx\n", {2, 2, 0, 0, 2, 100.0}},
        {"<!--\n", {1, 1, 0, 0, 1, 100.0}},
        {"x\n", {1, 0, 0, 1, 1, 0.0}},
    });
    // File kind, read, comment, blank, real, total, property, ratio.
    testing::expectFileCounts<mVBCalc_c>("f.frm", {
        {std::string(247, ' ') + "Attribute\nx\n", {kVBForm, 2, 0, 0, 2, 2, 0, 0.0}},
        {std::string(248, ' ') + "Attribute\nx\n", {kVBForm, 2, 0, 0, 0, 0, 2, 0.0}},
    });
    // Read, comment, debug, blank, real, total, and the lines of the
    // identification, environment, data and procedure divisions, and the ratio.
    testing::expectFileCounts<mCOBOLCalc_c>("PROG.COB", {
        {A + "IDENTIFICATION DIVISION.\r\n" + A + "ENVIRONMENT DIVISION.\r\n" + A +
             "DATA DIVISION.\r\n      * c\r\n" + A + "PROCEDURE DIVISION.\r\n" + A +
             "    DISPLAY 'A'.\r\n" + A + "\r\n      / c\r\n" + A + "    STOP RUN.\r\n" + A + "    \r\n",
         {10, 2, 0, 2, 6, 10, 1, 1, 2, 6, 40.0}},
        {"      * before\n000100\n" + A + "IDENTIFICATION DIVISION.\n      D    DISPLAY 1.\n" +
             "      -    'A'.\n      -    'B'.\n" + A + "X.\n",
         {7, 1, 1, 1, 2, 4, 3, 0, 0, 0, 50.0}},
        // A line longer than the window is classified by its first 72 columns.
        {std::string(72, ' ') + std::string(300, 'X') + "\n" + A + "MOVE" + std::string(300, ' ') +
             "\n",
         {2, 0, 0, 1, 1, 2, 0, 0, 0, 0, 50.0}},
        // The ratio is divided first, then multiplied by 100: 33.33333333333333,
        // not the 33.333333333333336 of multiplying first.
        {"      *\n       A\n       B\n", {3, 1, 0, 0, 2, 3, 0, 0, 0, 0, 33.33333333333333}},
        {A + "X.\n", {1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0.0}},
    });
}

}  // namespace
}  // namespace stepcount
