// The `stepcount` program itself: its exit status, what it prints and the
// result file it leaves, run as a separate process.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
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

std::string header(ResultLayout layout) {
    TextEncoder encoder(ResultEncoding::CP932);
    return withCrLf(encoder.encode(headerText(layout)));
}

class CommandLineTest : public ::testing::Test {
protected:
    // t/a.c, t/readme.txt and t/sub/b.h, written at 2020/09/13 12:26:41 UTC.
    void SetUp() override {
        for (const auto& [name, bytes] : {std::pair{"t/a.c", "int a;\r\n// c\r\n\r\n"},
                                          std::pair{"t/readme.txt", "text\n"},
                                          std::pair{"t/sub/b.h", "x;\n"}}) {
            const timespec times[2] = {{1600000001, 0}, {1600000001, 0}};
            ::utimensat(AT_FDCWD, dir.write(name, bytes).c_str(), times, 0);
        }
    }

    TempDir dir;
    const std::string tree = dir.at("t");
    const std::string result = dir.at("r.csv");
};

TEST_F(CommandLineTest, CountsTheFolderIntoTheResultFile) {
    const Ran ran = runStepcount({"-l", "c", "-o", result, tree}, "/");
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(ran.out, "計数完了しました。\nFiles counted: 2, files not counted: 1, folders: 1, "
                       "total steps: 4. Result file: " + result + "\n");
    EXPECT_EQ(ran.err, "");   // no progress line when stderr is not a terminal
    const std::string date = "2020/09/13 12:26:40";
    EXPECT_EQ(readFile(result), header(ResultLayout::Standard) +
                                    tree + ",a.c,File,16," + date + ",3,1,1,1,3,66.7\r\n" +
                                    tree + ",readme.txt,File,,,,,,,,,\r\n" +
                                    tree + ",sub,Directory,,,,,,,,,\r\n" +
                                    tree + "/sub,b.h,File,3," + date + ",1,0,0,1,1,0.0\r\n");
}

TEST_F(CommandLineTest, AnyJobCountPrintsAndWritesTheSame) {
    std::vector<Ran> runs;
    std::vector<std::string> written;
    for (const char* jobs : {"-j1", "--jobs=3", "-j16"}) {
        std::filesystem::remove(result);
        runs.push_back(runStepcount({jobs, "-m", "vb,c,sql,html", "-o", result, tree}, "/"));
        EXPECT_EQ(runs.back().status, 0) << jobs;
        written.push_back(readFile(result));
    }
    EXPECT_TRUE(written[0].starts_with(header(ResultLayout::MultiLanguage) + tree + ",a.c,File,16,"));
    for (std::size_t i = 1; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].out, runs[0].out);
        EXPECT_EQ(runs[i].err, runs[0].err);
        EXPECT_EQ(written[i], written[0]);
    }
}

TEST_F(CommandLineTest, SeveralLanguagesGoToLocResultCsvInTheCurrentFolder) {
    const Ran ran = runStepcount({"--multi", "vb,C", "t"}, dir.path().string());
    EXPECT_EQ(ran.status, 0);
    EXPECT_TRUE(ran.out.ends_with("Result file: ./LocResult.csv\n")) << ran.out;
    const std::string written = readFile(dir.at("LocResult.csv"));
    EXPECT_TRUE(written.starts_with(header(ResultLayout::MultiLanguage) + "t,a.c,File,16,"));
    EXPECT_TRUE(written.ends_with("t/sub,b.h,File,3,2020/09/13 12:26:40,1,0,0,1,1,0.0,\r\n"));
}

TEST_F(CommandLineTest, CounterErrorGoesToStderrAndTheRunGoesOn) {
    ASSERT_EQ(::symlink("nowhere.c", dir.at("t/d.c").c_str()), 0);
    const Ran ran = runStepcount({"-l", "c", "-o", result, tree}, "/");
    EXPECT_EQ(ran.status, 0);
    EXPECT_NE(ran.err.find(tree + "/d.c"), std::string::npos) << ran.err;
    EXPECT_TRUE(ran.err.ends_with(" \n関数名称：mVCCalc_c::fiExcCalc　行番号:159\n")) << ran.err;
    EXPECT_TRUE(ran.out.starts_with("計数完了しました。\n")) << ran.out;
    EXPECT_NE(readFile(result).find(tree + ",d.c,File,,,,,,,,,\r\n"), std::string::npos);
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

TEST_F(CommandLineTest, ResultFileThatCannotBeOpenedOrWrittenExitsWith1) {
    Ran ran = runStepcount({"-l", "c", "-o", dir.at("missing/r.csv"), tree}, "/");
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, "計数結果保存ファイルオープン失敗。\n");

    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ran = runStepcount({"-l", "c", "-o", "/dev/full", tree}, "/");
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, "計数結果保存ファイル書込み失敗。\n");
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
    std::filesystem::copy(source + "/samples", dir.at("samples"), std::filesystem::copy_options::recursive);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.at("samples"))) {
        if (entry.is_regular_file()) testing::rows::setModified(entry.path().string());
    }
    for (const auto& [language, kept] : {std::pair{"-m vb,c,sql,html", "samples-multi.csv"},
                                         std::pair{"-l cobol", "samples-cobol.csv"}}) {
        const std::string option(language);
        const Ran ran = runStepcount({option.substr(0, 2), option.substr(3), "-o", kept, "samples"},
                                     dir.path().string());
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(readFile(dir.at(kept)), readFile(source + "/tests/data/" + kept)) << kept;
    }

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
