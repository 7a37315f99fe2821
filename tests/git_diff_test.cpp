// Comparing revisions of a git repository (--repo --diff): the rows are
// those of comparing the revisions' checkouts, byte for byte (the folder
// column is relative, so nothing tells them apart), and "." is the work tree.
#include <filesystem>
#include <string>
#include <vector>

#include "support/git_repos.h"
#include "support/result_rows.h"

namespace stepcount::testing {
namespace {

// 表 in CP932, its second byte a backslash.
const std::string kHyou = "\x95\x5C";

const std::string kCalcBefore =
    "/* calc.c */\nint add(int a, int b) {\n    return a + b;   /* sum */\n}\nint main(void) {\n"
    "    puts(\"start\");\n    int x = 1;\n    int y = 2;\n    printf(\"%d\\n\", add(x, y));\n"
    "    if (x) {\n        x++;\n    }\n    return 0;\n}\nstatic int k;\n";
const std::string kCalcAfter =
    "/* calc.c version 2 */\nint add(int a, int b) {\n        return a + b;   /* sum */\n}\n"
    "int main(void) {\n//  puts(\"start\");  DEL 2024-05\n    int x = 10;\n    int y = 2;\n"
    "    int z = 3;\n    printf(\"%d\\n\", add(x, y) + z);\n    if (x) {\n        x++;\n    }\n"
    "    return 0;\n}\nstatic int k;\n";
const std::string kCobol =
    "000100 IDENTIFICATION DIVISION.\r\n000200 PROGRAM-ID. PROG.\r\n000300*" + kNihongo +
    "\r\n000400 PROCEDURE DIVISION.\r\n000500     DISPLAY 'X'.\r\n";

// v1, then v2 with every kind of change: an edit, a deletion, an addition,
// a rename, a rename in the case of letters only (A.c to a.c), a file that
// becomes a folder and a folder that becomes a file, CP932 content changed
// under a Japanese name and under a CP932 name, a folder removed and one
// added.
class GitDiffTest : public GitTest {
protected:
    void SetUp() override {
        GitTest::SetUp();
        if (IsSkipped()) return;
        repo = GitRepo::create(repo.path());
        std::filesystem::copy(STEPCOUNT_SOURCE_DIR "/samples", repo.at("samples"),
                              std::filesystem::copy_options::recursive);
        repo.write("src/calc.c", kCalcBefore);
        repo.write("src/old.c", "int a;\nint b;\n// c\nint d;\nint e;\n");
        repo.write("src/keep.c", "int keep;\n");
        repo.write("src/rename_me.c", "int r1;\nint r2;\n");
        repo.write("src/A.c", "int upper;\n");
        repo.write("src/x.c", "int x;\n");
        repo.write("src/dir.c/inner.c", "int inner;\n");
        repo.write("src/日本語.c", "/* " + kNihongo + " */\nchar* s = \"" + kHyou + "\";\nint n;\n");
        repo.write("src/" + kNihongo + ".sql", "select '" + kHyou + "';\n");
        repo.write("src/only_old/gone.c", "int gone;\n");
        repo.write("legacy/PROG.cob", kCobol);
        repo.commitAll(kFirstCommit, "v1");
        repo.git("tag -a r1 -m release");

        repo.write("src/calc.c", kCalcAfter);
        repo.remove("src/old.c");
        repo.write("src/util.c", "int u1;\nint u2;\n\nint u3;\nint u4;\nint u5;\n");
        repo.git("mv src/rename_me.c src/renamed.c");
        repo.git("mv src/A.c src/a.c");
        repo.remove("src/x.c");
        repo.write("src/x.c/inner.c", "int x;\n");
        repo.remove("src/dir.c");
        repo.write("src/dir.c", "int dir;\n");
        repo.write("src/日本語.c",
                   "/* " + kNihongo + " */\nchar* s = \"" + kHyou + kHyou + "\";\nint n;\n");
        repo.write("src/" + kNihongo + ".sql", "select '" + kHyou + "';\nselect 2;\n");
        repo.remove("src/only_old");
        repo.write("src/only_new/new.c", "int fresh;\n");
        repo.write("legacy/PROG.cob", kCobol + "000600     STOP RUN.\r\n");
        repo.write("samples/vb/Module1.bas",
                   "Attribute VB_Name = \"Module1\"\r\nPublic x As Long\r\n");
        secondId = repo.commitAll(kSecondCommit, "v2");
    }

    GitRepo repo{temp.at("repo")};
    std::string secondId;
};

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

// The rows of the changes that pairing decides, in the order of the rows.
TEST_F(GitDiffTest, RenamesCaseOnlyRenamesAndFilesBecomingFolders) {
    const RunResult compared =
        run({"-l", "c", "--encoding", "utf-8", "--repo", repo.path(), "--diff", "v1", "v2"});
    ASSERT_EQ(compared.ran.status, 0) << compared.ran.err;
    const std::vector<std::string> expected = {
        "./src,a.c,File,変更なし,C,1,1,0,0,0,1,0,0,0,0,0,",
        "./src,calc.c,File,変更,C,14,14,1,2,1,11,3,1,2,0,0,",
        "./src,dir.c,File,新規,C,0,1,1,0,0,0,1,0,0,0,0,",
        "./src,dir.c,Directory,削除,,,,,,,,,,,,,",
        "./src/dir.c,inner.c,File,削除,C,1,0,0,0,1,0,0,0,0,0,0,",
        "./src,old.c,File,削除,C,4,0,0,0,4,0,0,1,0,0,0,",
        "./src,only_new,Directory,新規,,,,,,,,,,,,,",
        "./src,only_old,Directory,削除,,,,,,,,,,,,,",
        "./src,renamed.c,File,新規,C,0,2,2,0,0,0,2,0,0,0,0,",
        "./src,rename_me.c,File,削除,C,2,0,0,0,2,0,0,0,0,0,0,",
        "./src,util.c,File,新規,C,0,5,5,0,0,0,5,0,0,0,1,",
        "./src,x.c,File,削除,C,1,0,0,0,1,0,0,0,0,0,0,",
        "./src,x.c,Directory,新規,,,,,,,,,,,,,",
        "./src/x.c,inner.c,File,新規,C,0,1,1,0,0,0,1,0,0,0,0,",
        "./src,日本語.c,File,変更,C,2,2,0,1,0,1,1,1,1,0,0,",
    };
    const std::vector<std::string> lines = resultLines(compared.result);
    std::size_t found = 0;
    for (const std::string& line : lines) {
        if (found < expected.size() && line == expected[found]) ++found;
    }
    EXPECT_EQ(found, expected.size()) << "missing or out of order: "
                                      << (found < expected.size() ? expected[found] : "");
    EXPECT_EQ(compared.ran.err, "");
}

// "." is the work tree as it is, uncommitted changes and untracked files
// included, the repository's own .git left out.
TEST_F(GitDiffTest, WorkTreeComparesAsACopyOfIt) {
    repo.write("src/calc.c", kCalcAfter + "int later;\n");
    repo.write("src/untracked.c", "int u;\n");
    repo.remove("src/keep.c");
    const std::string copy = temp.at("work-tree-copy");
    copyTree(repo.path(), copy, ".git");
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
    EXPECT_TRUE(sameResult(fromInside.result, fromTop.result));

    // A linked work tree (its .git a file) checked out at v1 is v1.
    repo.git("worktree add -q " + shellQuoted(temp.at("linked")) + " v1");
    const RunResult linked =
        run({"-m", "vb,c,sql,html", "--repo", temp.at("linked"), "--diff", "v1", "."});
    const RunResult itself =
        run({"-m", "vb,c,sql,html", "--repo", repo.path(), "--diff", "v1", "v1"});
    EXPECT_EQ(linked.ran.status, 0) << linked.ran.err;
    EXPECT_TRUE(sameResult(linked.result, itself.result));
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
              "\xEF\xBB\xBF"
              "フォルダ名,ファイル名,ファイル／ディレクトリ,状態,言語,旧実ステップ数,新実ステップ数,"
              "追加ステップ数,変更ステップ数,削除ステップ数,変更なしステップ数,追加変更ステップ数,"
              "旧コメント行数,新コメント行数,旧空行数,新空行数,備考\r\n"
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
