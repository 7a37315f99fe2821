// The table of totals per language that `stepcount --summary` prints after
// its closing line: the languages of the run in their order, also one
// without files; VB's lines read count its property-definition section, its
// total not; files not counted (one that cannot be read, one of no
// language) add nothing; the columns widen for large numbers.
#include "support/test_support.h"

namespace stepcount {
namespace {

TEST(SummaryTableTest, TotalsPerLanguageAndAGrandTotalAlignedAfterTheClosingLine) {
    testing::TempDir dir;
    dir.write("t/a.c", "// c\n\nint a;\n");
    std::string lines;
    for (int i = 0; i < 123456; ++i) lines += "x;\n";
    dir.write("t/b.c", lines);
    dir.write("t/f.frm",
              "VERSION 5.00\r\nBegin VB.Form F\r\nEnd\r\nAttribute VB_Name = \"F\"\r\n' c\r\nx = 1\r\n");
    dir.write("t/r.txt", "text\n");
    dir.write("t/s/q.sql", "select 1;\n-- c\n");
    testing::UnreadableFiles unreadable;
    unreadable.add(dir.at("t/x.c"));
    const testing::Ran ran = testing::runStepcount(
        {"-m", "vb,c,sql,html", "--summary", "-o", dir.at("r.csv"), dir.at("t")}, "/");
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out,
              "計数完了しました。\n"
              "Files counted: 4, files not counted: 2, folders: 1, total steps: 123464. Result file: " +
                  dir.at("r.csv") +
                  "\n\n"
                  "Language                    Files   Lines  Comment  Blank    Code   Total  Comment %\n"
                  "------------------------------------------------------------------------------------\n"
                  "VB, VBA                         1       6        1      0       2       3       33.3\n"
                  "C, C++, Pro*C, Java             2  123459        1      1  123457  123459        0.0\n"
                  "SQL                             1       2        1      0       1       2       50.0\n"
                  "HTML, ASP, JSP, JavaScript      0       0        0      0       0       0        0.0\n"
                  "------------------------------------------------------------------------------------\n"
                  "Total                           4  123467        3      1  123460  123464        0.0\n");
}

}  // namespace
}  // namespace stepcount
