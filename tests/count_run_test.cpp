// Count runs end to end: a folder tree on disk, one run, and the exact bytes
// of the result file it leaves, together with what the run showed.
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "report/result_file.h"
#include "runs/count_command.h"
#include "runs/count_runs.h"
#include "report/run_tally.h"
#include "support/result_rows.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using testing::readFile;
using testing::RecordingFrontEnd;
using testing::TempDir;

using namespace testing::rows;

constexpr int kVB = testing::codeOf(LanguageId::VB);
constexpr int kVC = testing::codeOf(LanguageId::VC);
constexpr int kSQL = testing::codeOf(LanguageId::SQL);
constexpr int kHTML = testing::codeOf(LanguageId::HTML);
constexpr int kCOBOL = testing::codeOf(LanguageId::COBOL);

class CountRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::useUtc();
        settings.CountFolder = root;
        settings.SaveFolder = dir.text();
        settings.ResultFileName = "out.csv";
        settings.MessageCaption = "the caption";
    }

    // Writes a file below the count folder with the usual last write.
    std::string file(const std::string& relative, const std::string& bytes) {
        const std::string path = dir.write("t/" + relative, bytes);
        setModified(path);
        return path;
    }

    RunOutcome run(int languageCode, const std::vector<WalkObserver*>& extra = {}) {
        return testing::runLanguageCount(settings, languageCode, frontEnd, extra);
    }

    std::string result() const { return readFile(dir.at("out.csv")); }

    // Checks that the run ended normally and showed only the usual; forgets
    // what it showed, for the next run.
    void expectCompleted(RunOutcome outcome) {
        EXPECT_EQ(outcome, RunOutcome::Completed);
        EXPECT_EQ(frontEnd.events,
                  (std::vector<std::string>{"busy shown", "busy hidden", kFinished}));
        EXPECT_EQ(frontEnd.captions, std::vector<std::string>{"the caption"});
        frontEnd = RecordingFrontEnd();
    }

    TempDir dir;
    const std::string root = dir.mkdir("t");
    CountSettings settings;
    RecordingFrontEnd frontEnd;
};

// One file of each language and one of none, and an empty folder.
struct Source {
    std::string name;
    std::string bytes;
    std::string counts;   // the counted columns after the date
};
const std::vector<Source> kSources = {
    {"a.c", "int a;\r\n// c\r\n\r\n", "3,1,1,1,3,66.7"},
    {"b.sql", "-- c\nselect 1;\n", "2,1,0,1,2,50.0"},
    {"c.frm", "VERSION 5.00\r\nBegin VB.Form F\r\nEnd\r\nAttribute VB_Name = \"F\"\r\n' c\r\nx = 1\r\n",
     "6,1,0,2,3,33.3,3"},
    {"d.html", "<!-- c -->\n<p>x</p>\n\n", "3,1,1,1,3,66.7"},
    {"e.cob",
     "       IDENTIFICATION DIVISION.\n      * c\n       PROCEDURE DIVISION.\n"
     "           STOP RUN.\n      D    DISPLAY 1.\n",
     "5,1,0,3,4,25.0,1,2,0,0,3"},
    {"f.txt", "text\n", ""},
    {"g.bas", "' c\r\nDim a\r\n", "2,1,0,1,2,50.0,0"},
};

struct LanguageCase {
    int languageCode;
    const std::string* header;
    std::vector<std::string> counted;   // names of the files that get counts
};
void PrintTo(const LanguageCase& c, std::ostream* out) { *out << "code " << c.languageCode; }

class EveryLanguageTest : public CountRunTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(EveryLanguageTest, CountsItsOwnFilesAndListsEverythingElse) {
    const LanguageCase& c = GetParam();
    for (const Source& source : kSources) file(source.name, source.bytes);
    dir.mkdir("t/z");
    const bool multi = c.languageCode > kMultiLanguage;
    const int commas = c.languageCode == kCOBOL ? 12 : 9;

    std::string expected = *c.header;
    for (const Source& source : kSources) {
        if (std::find(c.counted.begin(), c.counted.end(), source.name) == c.counted.end()) {
            expected += uncountedRow(root, source.name, commas);
            continue;
        }
        // Rows without a last column of their own get an empty one in a
        // multi-language file.
        const bool padded = multi && source.name.find(".frm") == std::string::npos &&
                            source.name.find(".bas") == std::string::npos;
        expected += countedRow(root, source.name, source.bytes.size(),
                               source.counts + (padded ? "," : ""));
    }
    expected += folderRow(root, "z", commas);

    expectCompleted(run(c.languageCode));
    EXPECT_EQ(result(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, EveryLanguageTest,
    ::testing::Values(LanguageCase{kVB, &kVBHeader, {"c.frm", "g.bas"}},
                      LanguageCase{kVC, &kStandardHeader, {"a.c"}},
                      LanguageCase{kSQL, &kStandardHeader, {"b.sql"}},
                      LanguageCase{kHTML, &kStandardHeader, {"d.html"}},
                      LanguageCase{kCOBOL, &kCOBOLHeader, {"e.cob"}},
                      LanguageCase{17, &kVBHeader, {"c.frm", "g.bas"}},
                      LanguageCase{30, &kVBHeader, {"a.c", "b.sql", "d.html"}},
                      LanguageCase{31, &kVBHeader, {"a.c", "b.sql", "c.frm", "d.html", "g.bas"}}),
    [](const ::testing::TestParamInfo<LanguageCase>& param) {
        return "Code" + std::to_string(param.param.languageCode);
    });

// Each run appends its header, also when there is nothing to count.
TEST_F(CountRunTest, EmptyOrMissingCountFolderGivesTheHeaderAlone) {
    expectCompleted(run(kVC));
    settings.CountFolder = dir.at("missing");
    expectCompleted(run(kSQL));
    EXPECT_EQ(result(), kStandardHeader + kStandardHeader);
}

TEST_F(CountRunTest, MissingSaveFolderStopsBeforeAnythingIsRead) {
    file("a.c", kOneLine);
    settings.SaveFolder = dir.at("missing");
    RunTally walked;
    EXPECT_EQ(run(kVC, {&walked}), RunOutcome::OpenFailed);
    EXPECT_EQ(frontEnd.events, std::vector<std::string>{"failure: 計数結果保存ファイルオープン失敗。"});
    EXPECT_EQ(frontEnd.captions, std::vector<std::string>{"the caption"});
    EXPECT_EQ(walked.folders + walked.filesCounted + walked.filesNotCounted, 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.at("missing")));
}

// /dev/full, the device that fails every write, stands for a full disk.
#if defined(_WIN32)
TEST_F(CountRunTest, WriteFailureIsReportedInsteadOfCompletion) {
    GTEST_SKIP() << "no /dev/full on Windows";
}
TEST_F(CountRunTest, WriteFailureAmidDialogsOfSeveralJobsEndsTheRun) {
    GTEST_SKIP() << "no /dev/full on Windows";
}
#else
TEST_F(CountRunTest, WriteFailureIsReportedInsteadOfCompletion) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    file("a.c", kOneLine);
    settings.SaveFolder = "/dev";
    settings.ResultFileName = "full";
    settings.VCSelected = true;
    EXPECT_EQ(testing::runCommand(settings, frontEnd), RunOutcome::WriteFailed);
    EXPECT_EQ(frontEnd.events, (std::vector<std::string>{"busy shown", "busy hidden",
                                                         "failure: 計数結果保存ファイル書込み失敗。"}));
}

// A write failure in the middle of a run whose counting threads wait to show
// dialogs: the run ends with the failure instead of waiting for ever, and no
// dialog comes after it.
TEST_F(CountRunTest, WriteFailureAmidDialogsOfSeveralJobsEndsTheRun) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    // Enough rows to fill the writer's buffer before the end; every file a
    // link that leads nowhere, so that every count shows a dialog.
    for (int n = 0; n < 3000; ++n) {
        const std::string name = "t/" + std::string(120, 'n') + std::to_string(n) + ".c";
        ASSERT_EQ(::symlink("nowhere", dir.at(name).c_str()), 0);
    }
    settings.SaveFolder = "/dev";
    settings.ResultFileName = "full";
    settings.VCSelected = true;
    settings.Jobs = 2;
    EXPECT_EQ(testing::runCommand(settings, frontEnd), RunOutcome::WriteFailed);
    ASSERT_GE(frontEnd.events.size(), 3u);
    EXPECT_LT(frontEnd.messages.size(), 3000u);
    EXPECT_EQ(frontEnd.events.back(), "failure: 計数結果保存ファイル書込み失敗。");
}
#endif

TEST_F(CountRunTest, CountFolderEndingInSeparatorGivesDoubledSeparators) {
    file("sub/b.c", kOneLine);
    settings.CountFolder = root + kPathSeparator;
    expectCompleted(run(kVC));
    EXPECT_EQ(result(), kStandardHeader + folderRow(settings.CountFolder, "sub") +
                            oneLineRow(inFolder(settings.CountFolder, "sub"), "b.c"));
}

// A name that is not UTF-8 is written as it is (on POSIX: Windows names are
// Unicode).
TEST_F(CountRunTest, Utf8ResultFileStartsWithByteOrderMarkOnlyWhenNew) {
    for (const char* name : {"日本語.c", "日本/f.c"}) file(name, kOneLine);
    settings.Encoding = ResultEncoding::UTF8;
    std::string rows = kStandardHeaderUtf8 + folderRow(root, "日本") +
                       oneLineRow(inFolder(root, "日本"), "f.c") + oneLineRow(root, "日本語.c");
    if (!kNamesAreUtf8) {
        file("\xFF\xFE.c", kOneLine);
        rows += oneLineRow(root, "\xFF\xFE.c");
    }
    expectCompleted(run(kVC));
    expectCompleted(run(kVC));
    EXPECT_EQ(result(), "\xEF\xBB\xBF" + rows + rows);
}

// Records, in one list, every observer call and every counter dialog, with
// the threads of the observer calls.
class CallRecorder : public RecordingFrontEnd, public WalkObserver {
public:
    void showMessage(std::string_view text) override {
        RecordingFrontEnd::showMessage(text);
        calls.push_back("dialog: " + std::string(text));
    }
    void onFolder(std::string_view folder, std::string_view name) override {
        threads.insert(std::this_thread::get_id());
        calls.push_back(inFolder(folder, name));
    }
    void onFile(const WalkedFile& file) override {
        threads.insert(std::this_thread::get_id());
        calls.push_back(inFolder(file.folder, file.name) + (isCounted(file.count) ? " #" : ""));
    }
    std::set<std::thread::id> threads;
    std::vector<std::string> calls;
};

// Far more files than are in flight at once, of every language, runs of
// files that fail with a dialog, one file spanning several read chunks,
// folders inside folders: the result file, and the observer calls with the
// dialogs among them, are the same whether the files are counted one at a
// time or several at once; the observer is called from the thread that
// started the run alone.
TEST_F(CountRunTest, EveryJobCountGivesTheSameResultDialogsAndObserverCalls) {
    const char* const kinds[] = {".c", ".sql", ".frm", ".html", ".cob", ".txt", ".bas", ".h"};
    testing::UnreadableFiles unreadable;
    for (int n = 0; n < 1500; ++n) {
        // Built up piece by piece: g++ 12 warns wrongly of "m" + a temporary.
        std::string folder = "m";
        folder += std::to_string(n % 7) + "/s" + std::to_string(n % 13) + "/";
        const std::string name = folder + "f" + std::to_string(n) + kinds[n % 8];
        if (n % 211 < 12) {
            dir.mkdir("t/" + folder);
            unreadable.add(dir.at("t/" + name));
            continue;
        }
        std::string bytes;
        for (int line = 0; line < n % 23; ++line) {
            bytes += line % 3 == 0 ? "// c\r\n" : line % 5 == 0 ? "\n" : "x = 1;\n";
        }
        file(name, bytes);
    }
    std::string big;
    while (big.size() < 3 * 128 * 1024) big += "/* a */ x;\r\n  y;\n\n";
    file("m3/big.c", big);

    for (const int code : {kVC, kMultiLanguage + 15, kCOBOL}) {
        std::string expected;
        std::vector<std::string> expectedCalls;
        for (const unsigned jobs : {1U, 2U, 8U}) {
            SCOPED_TRACE(::testing::Message() << "code " << code << ", jobs " << jobs);
            std::filesystem::remove(testing::fsPath(dir.at("out.csv")));
            settings.Jobs = jobs;
            CallRecorder recorder;
            const RunOutcome outcome = testing::runLanguageCount(settings, code, recorder, {&recorder});
            EXPECT_EQ(outcome, RunOutcome::Completed);
            EXPECT_EQ(recorder.threads, std::set<std::thread::id>{std::this_thread::get_id()});
            if (jobs == 1) {
                expected = result();
                expectedCalls = recorder.calls;
                // Every entry has its row, and some files of the language
                // failed with a dialog.
                EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 1 + 1500 + 1 + 7 + 7 * 13);
                EXPECT_GE(recorder.messages.size(), 6u);
                continue;
            }
            EXPECT_TRUE(result() == expected);
            EXPECT_EQ(recorder.calls, expectedCalls);
        }
    }
}

}  // namespace
}  // namespace stepcount
