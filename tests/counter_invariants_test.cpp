// Random files of mixed bytes, markers and line breaks, counted by every
// counter: each count succeeds, reads as many lines as a plain reference
// split finds, and keeps the sums that hold for every file.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "counters/counters.h"
#include "support/reference_lines.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using namespace std::string_view_literals;

using testing::referenceWindows;

std::string randomFile(std::mt19937& random) {
    static constexpr std::string_view kPieces[] = {
        "/*", "*/", "//", "--", "<!--", "-->", "<script>", "</SCRIPT>", "//-->", "'", "Attribute",
        "Option Explicit", "      *", "      D", "      -", "       IDENTIFICATION DIVISION.",
        "       DATA DIVISION.", "       PROCEDURE DIVISION.", "int x;", "\x82\xa0", "\x81\x40", "\xb1",
        " ", "\t", "\0"sv, "\r", "\n", "\r\n", "\n\n", "\r\r"};
    std::string bytes;
    const auto pieces = random() % 120;
    for (std::size_t i = 0; i < pieces; ++i) {
        switch (random() % 5) {
            case 0: bytes += static_cast<char>(random() % 256); break;
            case 1: bytes.append(random() % 6 == 0 ? 250 + random() % 20 : random() % 8, " xX"[random() % 3]); break;
            default: bytes += kPieces[random() % std::size(kPieces)];
        }
    }
    return bytes;
}

std::int64_t countOf(const std::vector<LineClass>& classes, LineClass lineClass) {
    return std::count(classes.begin(), classes.end(), lineClass);
}

// Every line is exactly one of comment, blank and step, and the counts are
// those of the line rules over the reference lines.
template <class Counter, class Rules>
void expectPlainCount(Counter& counter, Rules rules, const std::string& path,
                      const std::vector<std::string>& windows) {
    CountResult r{};
    ASSERT_EQ(counter.fiCalcFile(path, r), kCounted) << path;
    const std::vector<LineClass> classes = testing::classesOf(rules, windows);
    const auto lines = static_cast<std::int64_t>(windows.size());
    EXPECT_EQ(testing::countsOf(r), (testing::Counts{lines, countOf(classes, LineClass::Comment),
                                                     countOf(classes, LineClass::Blank),
                                                     countOf(classes, LineClass::Code), lines}))
        << path;
    EXPECT_EQ(r.dCommentRate, testing::ratioOf(r)) << path;
}

TEST(CounterInvariants, RandomFiles) {
    std::mt19937 random(20240611);
    testing::TempDir dir;
    testing::RecordingDisplay display;
    mVCCalc_c c(display);
    mSQLCalc_c sql(display);
    mHTMLCalc_c html(display);
    mVBCalc_c vb(display);
    mCOBOLCalc_c cobol(display);
    for (int file = 0; file < 300; ++file) {
        const std::string bytes = randomFile(random);
        const std::vector<std::string> windows = referenceWindows(bytes);
        const auto lines = static_cast<std::uint32_t>(windows.size());
        SCOPED_TRACE(::testing::PrintToString(bytes));
        expectPlainCount(c, CFamilyLineRules("//"), dir.write("r.c", bytes), windows);
        expectPlainCount(sql, CFamilyLineRules("--"), dir.write("r.sql", bytes), windows);
        expectPlainCount(html, HTMLLineRules(), dir.write("r.htm", bytes), windows);

        // VB: a form's property section runs up to the first line holding one
        // of the two words; a module has none.
        const auto body = std::find_if(windows.begin(), windows.end(), [](const std::string& w) {
            return w.find("Attribute") != w.npos || w.find("Option Explicit") != w.npos;
        });
        for (const std::int32_t kind : {kVBModule, kVBForm}) {
            VBCountResult r{};
            ASSERT_EQ(vb.fiCalcFile(dir.write(kind == kVBForm ? "r.frm" : "r.bas", bytes), r), kCounted);
            EXPECT_EQ(r.iFileType, kind);
            EXPECT_EQ(r.ulPropertySteps, kind == kVBForm ? static_cast<std::uint32_t>(body - windows.begin()) : 0u);
            EXPECT_EQ(r.ulReadLines, lines);
            EXPECT_EQ(r.ulReadLines, r.ulPropertySteps + r.ulTotalSteps);
            EXPECT_EQ(r.ulTotalSteps, r.ulCommentLines + r.ulBlankLines + r.ulRealSteps);
            EXPECT_EQ(r.dCommentRate, testing::ratioOf(r));
        }

        // COBOL: continuation lines count only as lines read; debugging lines
        // are no steps.
        COBOLCountResult r{};
        ASSERT_EQ(cobol.fiCalcFile(dir.write("r.cob", bytes), r), kCounted);
        const auto continuations = static_cast<std::uint32_t>(std::count_if(
            windows.begin(), windows.end(), [](const std::string& w) { return w.size() >= 7 && w[6] == '-'; }));
        EXPECT_EQ(r.ulReadLines, lines);
        EXPECT_EQ(r.ulReadLines, r.ulRealSteps + r.ulCommentLines + r.ulBlankLines + r.ulDebugLines + continuations);
        EXPECT_EQ(r.ulTotalSteps, r.ulRealSteps + r.ulCommentLines + r.ulBlankLines);
        EXPECT_LE(r.ulIdentDivLines + r.ulEnvDivLines + r.ulDataDivLines + r.ulProcDivLines,
                  r.ulReadLines - continuations);
        EXPECT_EQ(r.dCommentRate, testing::ratioOf(r));
    }
    EXPECT_TRUE(display.messages.empty());
}

}  // namespace
}  // namespace stepcount
