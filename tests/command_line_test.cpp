// The `stepcount` program itself: its exit status, what it prints and the
// result file it leaves, run as a separate process.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/text_encoding.h"
#include "report/result_format.h"
#include "support/result_rows.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using testing::readFile;
using testing::Ran;
using testing::runStepcount;
using testing::TempDir;
using namespace testing::rows;

class CommandLineTest : public ::testing::Test {
protected:
    // t/a.c, t/readme.txt and t/sub/b.h, with the usual last write.
    void SetUp() override {
        for (const auto& [name, bytes] : {std::pair{"t/a.c", "int a;\r\n// c\r\n\r\n"},
                                          std::pair{"t/readme.txt", "text\n"},
                                          std::pair{"t/sub/b.h", "x;\n"}}) {
            setModified(dir.write(name, bytes));
        }
    }

    TempDir dir;
    const std::string tree = dir.at("t");
    const std::string result = dir.at("r.csv");
};

// Whatever the number of files counted at once, and however it is given.
TEST_F(CommandLineTest, CountsTheFolderIntoTheResultFile) {
    for (const char* jobs : {"-j1", "--jobs=3", "-j16"}) {
        std::filesystem::remove(result);
        const Ran ran = runStepcount({jobs, "-l", "c", "-o", result, tree}, "/");
        EXPECT_EQ(ran.status, 0) << jobs;
        EXPECT_EQ(ran.out, "計数完了しました。\nFiles counted: 2, files not counted: 1, folders: 1, "
                           "total steps: 4. Result file: " + result + "\n");
        EXPECT_EQ(ran.err, "");   // no progress line when stderr is not a terminal
        EXPECT_EQ(readFile(result), kStandardHeader + countedRow(tree, "a.c", 16, "3,1,1,1,3,66.7") +
                                        uncountedRow(tree, "readme.txt") + folderRow(tree, "sub") +
                                        oneLineRow(inFolder(tree, "sub"), "b.h"));
    }
}

TEST_F(CommandLineTest, UsageErrorsExitWith2AndWriteNothing) {
    const std::vector<std::vector<std::string>> cases = {
        {"-l", "x", tree},
        {"-l", "c", "-m", "sql", tree},
        {tree},
        {"-l", "c"},
        {"-l", "c", tree, tree},
        {"-l", "c", dir.at("missing")},
        {"-l", "c", dir.at("t/a.c")},
        {"--bogus", "-l", "c", tree},
        {"-m", "c,cobol", tree},
        {"-m", "", tree},
        {"--encoding", "latin1", "-l", "c", tree},
        {"-l", "c", tree, "-o"},
        {"-j", "0", "-l", "c", tree},
        {"--jobs", "two", "-l", "c", tree},
        {"-j", "-1", "-l", "c", tree},
        {"--jobs=99999999999", "-l", "c", tree},
        {"-l", "c", tree, "-j"},
    };
    for (std::vector<std::string> arguments : cases) {
        arguments.insert(arguments.begin(), {"-o", result});
        const Ran ran = runStepcount(arguments, "/");
        SCOPED_TRACE(::testing::PrintToString(arguments));
        EXPECT_EQ(ran.status, 2);
        EXPECT_EQ(ran.out, "");
        EXPECT_TRUE(ran.err.starts_with("stepcount: ")) << ran.err;
        EXPECT_FALSE(std::filesystem::exists(result));
    }
}

TEST_F(CommandLineTest, VersionAndHelp) {
    for (const auto& [option, start] :
         {std::pair{"--version", "stepcount 1.02\n"}, std::pair{"-V", "stepcount 1.02\n"},
          std::pair{"--help", "Usage: stepcount ("}, std::pair{"-h", "Usage: stepcount ("}}) {
        const Ran ran = runStepcount({option}, "/");
        EXPECT_EQ(ran.status, 0) << option;
        EXPECT_TRUE(ran.out.starts_with(start)) << ran.out;
        EXPECT_EQ(ran.err, "") << option;
    }
    EXPECT_EQ(runStepcount({"--version"}, "/").out, "stepcount 1.02\n");
}

// The bundled samples, counted as the README tells, every file given the
// same last write: the result files are those kept in tests/data, and the
// README shows the several-language one.
TEST(SamplesTest, ResultFilesAreTheKeptOnesAndTheReadmeShowsThem) {
    const std::string source = STEPCOUNT_SOURCE_DIR;
    TempDir dir;
    std::filesystem::copy(testing::fsPath(source + "/samples"), dir.path() / "samples",
                          std::filesystem::copy_options::recursive);
    namespace fs = std::filesystem;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "samples")) {
        if (entry.is_regular_file()) setModified(testing::pathText(entry.path()));
    }
    // Without -o the result file is LocResult.csv in the current folder.
    Ran ran = runStepcount({"--multi", "vb,C,sql,html", "samples"}, dir.text());
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_TRUE(ran.out.ends_with("Result file: " + inFolder(".", "LocResult.csv") + "\n"))
        << ran.out;
    // The same bytes as on Linux but for the separators of the folder column.
    EXPECT_EQ(readFile(dir.at("LocResult.csv")),
              withSystemSeparators(readFile(source + "/tests/data/samples-multi.csv")));
    ran = runStepcount({"-l", "cobol", "-o", "cobol.csv", "samples"}, dir.text());
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(readFile(dir.at("cobol.csv")),
              withSystemSeparators(readFile(source + "/tests/data/samples-cobol.csv")));

    // The README's block: the header and rows in UTF-8, up to the block's end.
    const std::string readme = readFile(source + "/README.md");
    const std::size_t start = readme.find(headerText(ResultLayout::MultiLanguage));
    ASSERT_NE(start, std::string::npos);
    TextEncoder cp932(ResultEncoding::CP932);
    EXPECT_EQ(withCrLf(cp932.encode(readme.substr(start, readme.find("```", start) - start))),
              readFile(source + "/tests/data/samples-multi.csv"));
}

}  // namespace
}  // namespace stepcount
