// The `stepcount` program itself: its exit status, what it prints and the
// result file it leaves, run as a separate process. (Runs that count are in
// bad_tree_test, with every form of the jobs option.)
#include <filesystem>

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

TEST(CommandLineTest, UsageErrorsExitWith2AndWriteNothing) {
    TempDir dir;
    const std::string tree = dir.mkdir("t");
    const std::string result = dir.at("r.csv");
    dir.write("t/a.c", "x;\n");
    const std::vector<std::vector<std::string>> cases = {
        {"-l", "x", tree}, {"-l", "c", "-m", "sql", tree}, {tree}, {"-l", "c"}, {"-l", "c", tree, tree},
        {"-l", "c", dir.at("missing")}, {"-l", "c", dir.at("t/a.c")}, {"--bogus", "-l", "c", tree},
        {"-m", "c,cobol", tree}, {"-m", "", tree}, {"--encoding", "latin1", "-l", "c", tree},
        {"-l", "c", tree, "-o"}, {"-j", "0", "-l", "c", tree}, {"--jobs", "two", "-l", "c", tree},
        {"-j", "-1", "-l", "c", tree}, {"--jobs=99999999999", "-l", "c", tree}, {"-l", "c", tree, "-j"},
    };
    for (std::vector<std::string> arguments : cases) {
        arguments.insert(arguments.begin(), {"-o", result});
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const Ran ran = runStepcount(arguments, "/");
        EXPECT_EQ(ran.status, 2);
        EXPECT_EQ(ran.out, "");
        EXPECT_TRUE(ran.err.starts_with("stepcount: ")) << ran.err;
        EXPECT_FALSE(std::filesystem::exists(result));
    }
}

TEST(CommandLineTest, VersionAndHelp) {
    for (const auto& [option, start] :
         {std::pair{"--version", "stepcount 1.02\n"}, std::pair{"-V", "stepcount 1.02\n"},
          std::pair{"--help", "Usage: stepcount ("}, std::pair{"-h", "Usage: stepcount ("}}) {
        SCOPED_TRACE(option);
        const Ran ran = runStepcount({option}, "/");
        EXPECT_EQ(ran.status, 0);
        EXPECT_TRUE(ran.out.starts_with(start)) << ran.out;
        EXPECT_EQ(ran.err, "");
    }
    EXPECT_EQ(runStepcount({"-V"}, "/").out, "stepcount 1.02\n");
}

// The bundled samples, counted as the README tells, every file given the
// same last write: the result files are those kept in tests/data, and the
// README shows the several-language one.
TEST(SamplesTest, ResultFilesAreTheKeptOnesAndTheReadmeShowsThem) {
    using namespace testing::rows;
    namespace fs = std::filesystem;
    const std::string source = STEPCOUNT_SOURCE_DIR;
    TempDir dir;
    fs::copy(testing::fsPath(source + "/samples"), dir.path() / "samples", fs::copy_options::recursive);
    for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "samples")) {
        if (entry.is_regular_file()) setModified(testing::pathText(entry.path()));
    }
    // Without -o the result file is LocResult.csv in the current folder.
    Ran ran = runStepcount({"--multi", "vb,C,sql,html", "samples"}, dir.text());
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_TRUE(ran.out.ends_with("Result file: " + inFolder(".", "LocResult.csv") + "\n")) << ran.out;
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
