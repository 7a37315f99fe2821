// The table of totals per language that `stepcount --summary` prints.
#include "report/summary_table.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using testing::TempDir;

TEST(SummaryTableTest, TotalsPerLanguageOfTheRunAndAGrandTotalAligned) {
    SummaryTable table;
    const LanguageId several[] = {LanguageId::VB, LanguageId::VC, LanguageId::SQL};
    const LanguageSet languages = LanguageSet::several(several);
    table.onRunStart(RunStart{languages, "src"});
    const FileFacts facts;
    const FileCount none;
    const FileCount c1 = CountResult{100, 20, 10, 70, 100, 30.0};
    const FileCount c2 = CountResult{1234567, 0, 0, 1234567, 1234567, 0.0};
    // VB: lines read count the property-definition section, the total not.
    const FileCount form = VBCountResult{2, 12, 1, 1, 5, 7, 6, 28.6};
    table.onFile(WalkedFile{"src", "a.c", LanguageId::VC, facts, c1});
    table.onFile(WalkedFile{"src", "b.c", LanguageId::VC, facts, c2});
    table.onFile(WalkedFile{"src", "f.frm", LanguageId::VB, facts, form});
    // Not counted: no figures, and a file that could not be read adds none.
    table.onFile(WalkedFile{"src", "x.c", LanguageId::VC, facts, none});
    table.onFile(WalkedFile{"src", "r.txt", LanguageId::None, facts, none});
    EXPECT_EQ(table.text(),
              "Language             Files    Lines  Comment  Blank     Code    Total  Comment %\n"
              "--------------------------------------------------------------------------------\n"
              "VB, VBA                  1       12        1      1        5        7       28.6\n"
              "C, C++, Pro*C, Java      2  1234667       20     10  1234637  1234667        0.0\n"
              "SQL                      0        0        0      0        0        0        0.0\n"
              "--------------------------------------------------------------------------------\n"
              "Total                    3  1234679       21     11  1234642  1234674        0.0\n");
}

TEST(SummaryTableTest, CommandLinePrintsItAfterTheClosingLine) {
    TempDir dir;
    dir.write("t/a.c", "// c\n\nint a;\n");
    dir.write("t/s/q.sql", "select 1;\n-- c\n");
    const testing::Ran ran = testing::runStepcount(
        {"-m", "c,sql", "--summary", "-o", dir.at("r.csv"), dir.at("t")}, "/");
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out,
              "計数完了しました。\n"
              "Files counted: 2, files not counted: 0, folders: 1, total steps: 5. Result file: " +
                  dir.at("r.csv") +
                  "\n\n"
                  "Language             Files  Lines  Comment  Blank  Code  Total  Comment %\n"
                  "-------------------------------------------------------------------------\n"
                  "C, C++, Pro*C, Java      1      3        1      1     1      3       66.7\n"
                  "SQL                      1      2        1      0     1      2       50.0\n"
                  "-------------------------------------------------------------------------\n"
                  "Total                    2      5        2      1     2      5       60.0\n");
}

}  // namespace
}  // namespace stepcount
