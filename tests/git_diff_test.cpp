// Comparing revisions of a git repository (--repo --diff): the rows are
// those of comparing the revisions' checkouts, byte for byte (the folder
// column is relative, so nothing tells them apart), and "." is the work tree.
#include <filesystem>
#include <string>
#include <vector>

#include "support/diff_rows.h"
#include "support/git_repos.h"
#include "support/result_rows.h"

namespace stepcount::testing {
namespace {

using GitDiffTest = GitHistoryTest;

TEST_F(GitDiffTest, RevisionsCompareAsTheirCheckouts) {
    const std::vector<std::vector<std::string>> options = {
        {"-l", "c"},
        {"-l", "cobol"},
        {"-l", "sql", "--encoding", "utf-8"},
        {"-m", "vb,c,sql,html"},
        {"-m", "vb,c,sql,html", "--encoding", "utf-8"},
        {"-m", "vb,c,sql,html", "--ignore-case"},
    };
    const std::pair<std::string, std::string> pairs[] = {
        {"v1", "v2"}, {"v2", "v1"}, {"r1", secondId}, {"HEAD~1", "HEAD"},
        {"v1:src", "v2:src/"}, {"v1", "v1"},
    };
    for (const auto& [before, after] : pairs) {
        for (const std::vector<std::string>& option : options) {
            SCOPED_TRACE(before + " " + after + " " + ::testing::PrintToString(option));
            expectDiffLikeCheckouts(repo, before, after, option);
        }
    }
}

// "." is the work tree as it is, uncommitted changes and untracked files
// included, the repository's own .git left out.
TEST_F(GitDiffTest, WorkTreeComparesAsACopyOfIt) {
    repo.write("src/calc.c", diffrows::kCalcNew + "int later;\n");
    repo.write("src/untracked.c", "int u;\n");
    repo.remove("src/keep.c");
    const std::string copy = temp.at("work-tree-copy");
    ASSERT_EQ(runShell("cp -a " + shellQuoted(repo.path()) + ' ' + shellQuoted(copy)).status, 0);
    std::filesystem::remove_all(copy + "/.git");
    const std::vector<std::string> options[] = {
        {"-m", "vb,c,sql,html"},
        {"-l", "cobol", "--encoding", "utf-8"},
    };
    for (const std::vector<std::string>& option : options) {
        for (const auto& [before, after] :
             {std::pair<std::string, std::string>{"v1", "."}, {".", "v2"}, {"HEAD", "."}}) {
            SCOPED_TRACE(before + " " + after + " " + option[1]);
            expectDiffLikeCheckouts(repo, before, after, option, copy);
        }
    }
    const RunResult fromInside = run({"-m", "vb,c,sql,html", "--repo", repo.at("src/only_new"),
                                      "--diff", "v1", "."});
    const RunResult fromTop =
        run({"-m", "vb,c,sql,html", "--repo", repo.path(), "--diff", "v1", "."});
    EXPECT_EQ(fromInside.ran.status, 0) << fromInside.ran.err;
    EXPECT_EQ(fromInside.result, fromTop.result);

    // A linked work tree (its .git a file) checked out at v1 is v1.
    repo.git("worktree add -q " + shellQuoted(temp.at("linked")) + " v1");
    const RunResult linked =
        run({"-m", "vb,c,sql,html", "--repo", temp.at("linked"), "--diff", "v1", "."});
    const RunResult itself =
        run({"-m", "vb,c,sql,html", "--repo", repo.path(), "--diff", "v1", "v1"});
    EXPECT_EQ(linked.ran.status, 0) << linked.ran.err;
    EXPECT_EQ(linked.result, itself.result);
}

// Links and submodules are met in a comparison as in a count: listed
// without figures, with a message naming them as the rows do.
TEST_F(GitTest, LinksAndSubmodulesInAComparison) {
    const GitRepo repo = GitRepo::create(temp.at("repo"));
    repo.write("a.c", rows::kOneLine);
    std::filesystem::create_symlink("a.c", repo.at("link.c"));
    repo.addSubmodule("lib", temp.at("library"));
    repo.commitAll(kFirstCommit, "v1");
    std::filesystem::remove(repo.at("link.c"));
    std::filesystem::create_symlink("b.c", repo.at("link.c"));
    repo.write("a.c", "int a;\n");
    repo.commitAll(kSecondCommit, "v2");

    const RunResult compared =
        run({"-l", "c", "--encoding", "utf-8", "--repo", repo.path(), "--diff", "v1", "v2"});
    EXPECT_EQ(compared.ran.status, 0);
    EXPECT_EQ(compared.result,
              diffrows::kByteOrderMark + diffrows::kHeader +
              ".,.gitmodules,File,対象外,,,,,,,,,,,,,\r\n"
              ".,a.c,File,変更,C,1,1,0,1,0,0,1,0,0,0,0,\r\n"
              ".,lib,Directory,,,,,,,,,,,,,,\r\n"
              ".,link.c,File,読込失敗,C,,,,,,,,,,,,\r\n"
              ",合計,Total,,,1,1,0,1,0,0,1,0,0,0,0,\r\n");
    EXPECT_EQ(compared.ran.err,
              "Not counted \"./lib\": a submodule (another repository), listed without its "
              "content\n"
              "Not counted \"./link.c\": a symbolic link in the repository\n");
}

}  // namespace
}  // namespace stepcount::testing
