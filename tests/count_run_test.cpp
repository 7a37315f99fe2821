// Count runs end to end: a folder tree on disk, one run, and the exact bytes
// of the result file it leaves, together with what the run showed.
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <filesystem>
#include <tuple>

#include "support/result_rows.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using namespace testing::rows;
using testing::readFile;
using testing::RecordingFrontEnd;

constexpr int kVC = 2;

class CountRunTest : public ::testing::Test {
protected:
    void SetUp() override { testing::useUtc(); }

    // A file below the count folder with the usual last write.
    void file(const std::string& relative, const std::string& bytes = kOneLine) {
        setModified(dir.write("t/" + relative, bytes));
    }

    std::string result() const { return readFile(dir.at("out.csv")); }

    // Runs the count; expects it to end normally and show only the usual.
    void expectCompletedRun(int languageCode) {
        RecordingFrontEnd frontEnd;
        EXPECT_EQ(testing::runLanguageCount(settings, languageCode, frontEnd), RunOutcome::Completed);
        EXPECT_EQ(frontEnd.events, (std::vector<std::string>{"busy shown", "busy hidden", kFinished}));
        EXPECT_EQ(frontEnd.captions, std::vector<std::string>{"the caption"});
    }

    testing::TempDir dir;
    const std::string root = dir.mkdir("t");
    CountSettings settings = testing::countSettings(dir, "out.csv");
};

// One file of each language and one of none, and an empty folder, counted
// with each language alone and with several: a several-language file has
// the VB layout, and the rows without its last column get an empty one.
// (COBOL alone and all four together: the samples' result files.)
TEST_F(CountRunTest, EachLanguageCountsItsOwnFilesAndListsEverythingElse) {
    const struct {
        std::string name, bytes, counts;   // counts: the columns after the date
    } sources[] = {
        {"a.c", "int a;\r\n// c\r\n\r\n", "3,1,1,1,3,66.7"},
        {"b.sql", "-- c\nselect 1;\n", "2,1,0,1,2,50.0"},
        {"c.frm", "VERSION 5.00\r\nBegin VB.Form F\r\nEnd\r\nAttribute VB_Name = \"F\"\r\n' c\r\nx = 1\r\n",
         "6,1,0,2,3,33.3,3"},
        {"d.html", "<!-- c -->\n<p>x</p>\n\n", "3,1,1,1,3,66.7"},
        {"e.cob", "       IDENTIFICATION DIVISION.\n", ""},
        {"f.txt", "text\n", ""},
        {"g.bas", "' c\r\nDim a\r\n", "2,1,0,1,2,50.0,0"},
    };
    for (const auto& source : sources) file(source.name, source.bytes);
    dir.mkdir("t/z");
    // The language code, its header and the files it counts.
    const std::tuple<int, const std::string&, std::string> cases[] = {
        {1, kVBHeader, "c.frm g.bas"}, {2, kStandardHeader, "a.c"}, {3, kStandardHeader, "b.sql"},
        {4, kStandardHeader, "d.html"}, {17, kVBHeader, "c.frm g.bas"}, {30, kVBHeader, "a.c b.sql d.html"}};
    for (const auto& [code, header, counted] : cases) {
        SCOPED_TRACE(code);
        std::filesystem::remove(testing::fsPath(dir.at("out.csv")));
        std::string expected = header;
        for (const auto& s : sources) {
            const bool padded = code > kMultiLanguage && !s.name.ends_with(".frm") && !s.name.ends_with(".bas");
            expected += counted.find(s.name) == std::string::npos
                            ? uncountedRow(root, s.name)
                            : countedRow(root, s.name, s.bytes.size(), s.counts + (padded ? "," : ""));
        }
        expectCompletedRun(code);
        EXPECT_EQ(result(), expected + folderRow(root, "z"));
    }
}

// Each run appends its header, also when there is nothing to count.
TEST_F(CountRunTest, EmptyOrMissingCountFolderGivesTheHeaderAlone) {
    expectCompletedRun(kVC);
    settings.CountFolder = dir.at("missing");
    expectCompletedRun(3);
    EXPECT_EQ(result(), kStandardHeader + kStandardHeader);
}

// /dev/full fails every write: the rows fill the writer's buffer before the
// end, and every file is a link that leads nowhere, so that every count
// shows a dialog. The run ends with the failure instead of waiting for ever
// on counting threads that wait to show a dialog, and none comes after it.
TEST_F(CountRunTest, WriteFailureAmidDialogsOfSeveralJobsEndsTheRun) {
#if defined(_WIN32)
    GTEST_SKIP() << "no /dev/full on Windows";
#else
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (int n = 0; n < 3000; ++n) {
        const std::string name = "t/" + std::string(120, 'n') + std::to_string(n) + ".c";
        ASSERT_EQ(::symlink("nowhere", dir.at(name).c_str()), 0);
    }
    settings.SaveFolder = "/dev";
    settings.ResultFileName = "full";
    settings.VCSelected = true;
    settings.Jobs = 2;
    RecordingFrontEnd frontEnd;
    EXPECT_EQ(testing::runCommand(settings, frontEnd), RunOutcome::WriteFailed);
    ASSERT_GE(frontEnd.events.size(), 3u);
    EXPECT_LT(frontEnd.messages.size(), 3000u);
    EXPECT_EQ(frontEnd.events.front(), "busy shown");
    EXPECT_EQ(std::vector(frontEnd.events.end() - 2, frontEnd.events.end()),
              (std::vector<std::string>{"busy hidden", "failure: 計数結果保存ファイル書込み失敗。"}));
#endif
}

TEST_F(CountRunTest, CountFolderEndingInSeparatorGivesDoubledSeparators) {
    file("sub/b.c");
    settings.CountFolder = root + kPathSeparator;
    expectCompletedRun(kVC);
    EXPECT_EQ(result(), kStandardHeader + folderRow(settings.CountFolder, "sub") +
                            oneLineRow(inFolder(settings.CountFolder, "sub"), "b.c"));
}

// A name that is not UTF-8 is written as it is (on POSIX: Windows names are
// Unicode).
TEST_F(CountRunTest, Utf8ResultFileStartsWithByteOrderMarkOnlyWhenNew) {
    for (const char* name : {"日本語.c", "日本/f.c"}) file(name);
    settings.Encoding = ResultEncoding::UTF8;
    std::string rows = kStandardHeaderUtf8 + folderRow(root, "日本") +
                       oneLineRow(inFolder(root, "日本"), "f.c") + oneLineRow(root, "日本語.c");
    if (!kNamesAreUtf8) {
        file("\xFF\xFE.c");
        rows += oneLineRow(root, "\xFF\xFE.c");
    }
    expectCompletedRun(kVC);
    expectCompletedRun(kVC);
    EXPECT_EQ(result(), "\xEF\xBB\xBF" + rows + rows);
}

}  // namespace
}  // namespace stepcount
