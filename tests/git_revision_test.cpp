// Counting (--repo) and comparing (--repo --diff) revisions of a git
// repository: the rows are those of the revisions' checkouts into folders
// named after them, "." being the work tree; links and submodules are listed
// uncounted; what cannot be found is refused, named.
#include <filesystem>
#include <string>
#include <vector>

#include "support/diff_rows.h"
#include "support/git_repos.h"
#include "support/result_rows.h"

namespace stepcount::testing {
namespace {

// A repository of every language and of odd names and encodings (the
// bundled samples, CP932 text and names, commas and quotes in names, COBOL),
// committed as v1 (also the annotated tag r1), then changed in every way a
// comparison tells apart and committed as v2 on the branch main: an edit, a
// deletion, an addition, a rename, a rename in the case of letters only
// (A.c to a.c), a file that becomes a folder and a folder that becomes a
// file, CP932 text changed, a folder removed and one added.
class GitHistoryTest : public GitTest {
protected:
    void SetUp() override {
        GitTest::SetUp();
        if (IsSkipped()) return;
        // CP932 text: 日本語, and 表 and ソ, whose second byte is a backslash.
        const std::string hyou = "\x95\x5C";
        const std::string cp932 = "/* " + kNihongo + " */\n#define MSG \"" + hyou +
                                  "\"  // \x83\x5C\n\n  int " + kNihongo + " = 1;\n\t\n}\n";
        const std::string cobol =
            "000100 IDENTIFICATION DIVISION.\r\n000200 PROGRAM-ID. PROG.\r\n000300*" + kNihongo +
            "\r\n000400 PROCEDURE DIVISION.\r\n000500     DISPLAY 'X'.\r\n"
            "000600D    DISPLAY 'D'.\r\n000700\r\n";
        repo = GitRepo::create(repo.path());
        std::filesystem::copy(STEPCOUNT_SOURCE_DIR "/samples", repo.at("samples"),
                              std::filesystem::copy_options::recursive);
        repo.write("src/calc.c", diffrows::kCalcOld);
        repo.write("src/old.c", "int a;\nint b;\n// c\nint d;\nint e;\n");
        repo.write("src/keep.c", "int keep;\n");
        repo.write("src/rename_me.c", "int r1;\nint r2;\n");
        repo.write("src/A.c", "int upper;\n");
        repo.write("src/x.c", "int x;\n");
        repo.write("src/dir.c/inner.c", "int inner;\n");
        repo.write("src/日本語.c", cp932);
        repo.write("src/" + kNihongo + ".c", cp932 + "int more;\n");
        repo.write("src/" + kNihongo + ".sql", "select '" + hyou + "';\n");
        repo.write("src/a,b.c", "int a;\n");
        repo.write("src/q\"x.sql", "-- q\nselect 1;\n");
        repo.write("src/UP.C", "x;\r\n");
        repo.write("src/empty.c", "");
        repo.write("src/bom.js", "\xEF\xBB\xBF// 日本語\nvar a = 1;\n");
        repo.write("src/notes.txt", "not counted\n");
        repo.write("src/only_old/gone.c", "int gone;\n");
        repo.write("deep/a/b/c/d.sql", "/* x */\nselect\n  1;\n");
        repo.write("legacy/PROG.cob", cobol);
        repo.write("legacy/OLD.COB", cobol.substr(0, 60));
        firstId = repo.commitAll(kFirstCommit, "v1");
        repo.git("tag -a r1 -m release");

        repo.write("src/calc.c", diffrows::kCalcNew);
        repo.remove("src/old.c");
        repo.write("src/util.c", "int u1;\nint u2;\n\nint u3;\nint u4;\nint u5;\n");
        repo.git("mv src/rename_me.c src/renamed.c");
        repo.git("mv src/A.c src/a.c");
        repo.remove("src/x.c");
        repo.write("src/x.c/inner.c", "int x;\n");
        repo.remove("src/dir.c");
        repo.write("src/dir.c", "int dir;\n");
        repo.write("src/日本語.c", cp932 + "char* s = \"" + hyou + hyou + "\";\n");
        repo.write("src/" + kNihongo + ".sql", "select '" + hyou + "';\nselect 2;\n");
        repo.write("src/a,b.c", "int a;\nint b;\n");
        repo.remove("src/only_old");
        repo.write("src/only_new/new.c", "int fresh;\n");
        repo.write("legacy/PROG.cob", cobol + "000800     STOP RUN.\r\n");
        repo.write("samples/vb/Module1.bas",
                   "Attribute VB_Name = \"Module1\"\r\nPublic x As Long\r\n");
        repo.write("deep/a/new.frm",
                   "VERSION 5.00\nBegin VB.Form F\nEnd\nAttribute VB_Name = \"F\"\n");
        secondId = repo.commitAll(kSecondCommit, "v2");
    }

    GitRepo repo{temp.at("repo")};
    std::string firstId, secondId;
};
using GitCountTest = GitHistoryTest;
using GitDiffTest = GitHistoryTest;

// Every way of naming a revision and both encodings (the revision as typed
// is the rows' first folder).
TEST_F(GitCountTest, EveryWayOfNamingARevisionCountsAsItsCheckout) {
    std::vector<std::string> revisions = {
        "v1",     "r1",          "main",     "HEAD~1",    firstId,           firstId.substr(0, 12),
        "HEAD",   "v1:src",      "v1:src/",  "v2:deep/a", "r1:legacy",       "main~1:deep/a/b/",
        "v1:",
    };
#ifndef STEPCOUNT_SANITIZED
    // A colon of the revision's own (a search of the commits' messages),
    // then the subfolder's. libgit2 1.5 leaks pcre2 match data when it
    // searches, which the sanitized program reports at exit.
    revisions.push_back("HEAD^{/at: " + std::to_string(kFirstCommit) + "}:src");
#endif
    for (const std::string& revision : revisions) {
        for (const char* encoding : {"cp932", "utf-8"}) {
            SCOPED_TRACE(revision + " " + encoding);
            expectCountLikeCheckout(repo, revision,
                                    {"-m", "vb,c,sql,html", "--encoding", encoding});
            expectCountLikeCheckout(repo, revision, {"-l", "cobol", "--encoding", encoding});
        }
    }
}

// A tree that no commit holds (named by its id, or through a tag of it) has
// no date to give its files: their date is left empty, the rest as for the
// commit whose tree it is.
TEST_F(GitCountTest, TreeWithoutACommitListsItsFilesWithoutADate) {
    repo.git("tag bare-tree v1^{tree}");
    const std::vector<std::string> options = {"-m", "vb,c,sql,html", "--encoding", "utf-8", "--repo",
                                              repo.path()};
    auto counted = [&](const std::string& revision) {
        std::vector<std::string> arguments = options;
        arguments.push_back(revision);
        const RunResult result = run(arguments);
        EXPECT_EQ(result.ran.status, 0) << result.ran.err;
        return result.result;
    };
    // The rows of v1:src with another root and without the dates
    // (",2021/03/04 05:06:07,").
    const auto undated = [](const std::string& rows, const std::string& root) {
        std::string result;
        std::size_t lineStart = 0;
        for (std::size_t at = 0; at < rows.size(); ++at) {
            if (at == lineStart && rows.compare(at, 6, "v1:src") == 0) {
                result += root;
                at += 5;
                continue;
            }
            if (rows[at] == '\n') lineStart = at + 1;
            const bool date = rows[at] == ',' && at + 20 < rows.size() && rows[at + 20] == ',' &&
                              rows[at + 5] == '/' && rows[at + 8] == '/' && rows[at + 11] == ' ' &&
                              rows[at + 14] == ':' && rows[at + 17] == ':';
            result += rows[at];
            if (date) at += 19;
        }
        return result;
    };
    const std::string ofCommit = counted("v1:src");
    ASSERT_NE(undated(ofCommit, "v1:src"), ofCommit);   // it has dates
    for (const std::string revision : {"v1^{tree}:src", "bare-tree:src"}) {
        SCOPED_TRACE(revision);
        EXPECT_EQ(counted(revision), undated(ofCommit, revision));
    }
}

// The same revision read from a bare clone, and through a folder inside the
// work tree, gives the same rows.
TEST_F(GitCountTest, BareCloneAndFolderInsideTheWorkTreeGiveTheSameRows) {
    repo.git("clone -q --bare . " + shellQuoted(temp.at("bare.git")));
    const RunResult fromWorkTree = run({"-m", "vb,c,sql,html", "--repo", repo.path(), "v1:src"});
    ASSERT_EQ(fromWorkTree.ran.status, 0) << fromWorkTree.ran.err;
    for (const std::string& path : {temp.at("bare.git"), repo.at("deep/a"), repo.at(".git")}) {
        SCOPED_TRACE(path);
        const RunResult counted = run({"-m", "vb,c,sql,html", "--repo", path, "v1:src"});
        EXPECT_EQ(counted.ran.status, 0) << counted.ran.err;
        EXPECT_EQ(counted.result, fromWorkTree.result);
    }
}

// Symbolic links (to a file, to a folder, dangling) are listed without
// counts and a submodule as a folder without content, each with a message.
TEST_F(GitTest, LinksAndSubmodulesAreListedUncountedWithAMessage) {
    const GitRepo repo = GitRepo::create(temp.at("repo"));
    repo.write("a.c", rows::kOneLine);
    repo.write("sub/b.c", rows::kOneLine);
    std::filesystem::create_symlink("a.c", repo.at("link.c"));
    std::filesystem::create_symlink("sub", repo.at("linkdir"));
    std::filesystem::create_symlink("nowhere.c", repo.at("sub/dangling.c"));
    repo.addSubmodule("lib", temp.at("library"));
    repo.commitAll(kFirstCommit, "v1");

    const RunResult counted = run({"-l", "c", "--repo", repo.path(), "v1"});
    EXPECT_EQ(counted.ran.status, 0);
    EXPECT_EQ(counted.result,
              rows::kStandardHeader + rows::uncountedRow("v1", ".gitmodules") + "v1,a.c,File,3," +
                  kFirstDate + ",1,0,0,1,1,0.0\r\n" + rows::folderRow("v1", "lib") +
                  rows::uncountedRow("v1", "link.c") + rows::uncountedRow("v1", "linkdir") +
                  rows::folderRow("v1", "sub") + "v1/sub,b.c,File,3," + kFirstDate +
                  ",1,0,0,1,1,0.0\r\n" + rows::uncountedRow("v1/sub", "dangling.c"));
    EXPECT_EQ(counted.ran.err,
              "Not counted \"v1/lib\": a submodule (another repository), listed without its content\n"
              "Not counted \"v1/link.c\": a symbolic link in the repository\n"
              "Not counted \"v1/linkdir\": a symbolic link in the repository\n"
              "Not counted \"v1/sub/dangling.c\": a symbolic link in the repository\n");
    EXPECT_EQ(counted.ran.out, "計数完了しました。\nFiles counted: 2, files not counted: 4, folders: 2, "
                               "total steps: 2. Result file: " + temp.at("result-1.csv") + "\n");

    // Neither is a folder that a count can start from, and the message says what it is.
    const std::pair<std::string, std::string> refusals[] = {
        {"lib", "a submodule (another repository)"},
        {"linkdir", "a symbolic link"},
        {"sub/dangling.c", "a symbolic link"},
    };
    for (const auto& [path, what] : refusals) {
        const RunResult refused = run({"-l", "c", "--repo", repo.path(), "v1:" + path});
        EXPECT_EQ(refused.ran.status, 2);
        EXPECT_EQ(refused.ran.err, "stepcount: '" + path + "' in revision 'v1' is " + what +
                                       ", not a folder\nTry 'stepcount --help' for more information.\n");
        EXPECT_FALSE(refused.written);
    }
}

// A blob of 100 MiB, loose and then packed, is counted as it is inflated,
// a piece at a time: memory stays far below its size.
TEST_F(GitTest, HundredMegabyteBlobIsCounted) {
    const GitRepo repo = GitRepo::create(temp.at("repo"));
    const std::string line = std::string(62, 'a') + ";\n";
    constexpr std::size_t kLines = 1638400;   // 100 MiB of 64-byte lines
    std::string content;
    content.reserve(line.size() * kLines);
    for (std::size_t i = 0; i < kLines; ++i) content += line;
    repo.write("big/big.c", content);
    content = std::string();
    repo.commitAll(kFirstCommit, "v1");
    repo.remove("big");

    for (const char* stored : {"loose", "packed"}) {
        SCOPED_TRACE(stored);
        if (std::string(stored) == "packed") {
            repo.git("repack -a -d -q");
            repo.git("prune-packed");
            ASSERT_EQ(repo.objectCount("count"), 0);
        }
        const RunResult counted = run({"-l", "c", "--repo", repo.path(), "v1"});
        EXPECT_EQ(counted.ran.status, 0) << counted.ran.err;
        EXPECT_EQ(counted.result, rows::kStandardHeader + rows::folderRow("v1", "big") +
                                      "v1/big,big.c,File,104857600," + kFirstDate +
                                      ",1638400,0,0,1638400,1638400,0.0\r\n");
        RecordProperty(std::string("peak_rss_kib_") + stored, std::to_string(counted.ran.maxRssKiB));
#ifndef STEPCOUNT_SANITIZED
        EXPECT_LT(counted.ran.maxRssKiB, 32 * 1024);
#endif
    }
}

// What cannot be found is refused before anything is written: exit 2 and
// a message that names it.
TEST_F(GitCountTest, WhatCannotBeFoundIsRefusedAndNothingIsWritten) {
    repo.git("clone -q --bare . " + shellQuoted(temp.at("bare.git")));
    const std::string blob = repo.git("rev-parse v1:src/a,b.c").substr(0, 40);
    const std::string plain = temp.mkdir("plain");
    const std::string& at = repo.path();
    const std::string unknown = "unknown revision 'nope' in the repository at " + at;
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--repo", plain, "v1"}, "no git repository at '" + plain + "'"},
        {{"--repo", plain + "/missing", "v1"}, "no git repository at '" + plain + "/missing'"},
        {{"--repo", at, "nope"}, unknown},
        {{"--repo", at, "nope:src"}, unknown},
        {{"--repo", at, "v1:src/a,b.c"}, "'src/a,b.c' in revision 'v1' is a file, not a folder"},
        {{"--repo", at, blob},
         "'" + blob + "' names a file, not a folder tree, in the repository at " + at},
        {{"--repo", at, "v1:nope"}, "no folder 'nope' in revision 'v1'"},
        {{"--repo", at, "v1::src"}, "no folder ':src' in revision 'v1'"},
        {{"--repo", at, "v1:src/nope/"}, "no folder 'src/nope' in revision 'v1'"},
        {{"--repo", at, "--diff", "v1", "nope"}, unknown},
        {{"--repo", at, "--diff", "nope", "v1"}, unknown},
        {{"--repo", at, "--diff", "v1:src", "v2:nope"}, "no folder 'nope' in revision 'v2'"},
        {{"--repo", at, "--diff", ".", "v1:src/a,b.c"},
         "'src/a,b.c' in revision 'v1' is a file, not a folder"},
        {{"--repo", temp.at("bare.git"), "--diff", "v1", "."},
         "the repository at '" + temp.at("bare.git") + "' has no work tree to compare with"},
    };
    // A temporary folder inside some repository would be that repository's.
    const bool plainIsNoRepository = runShell("cd " + shellQuoted(plain) + " && " + gitCommand() +
                                              " rev-parse --git-dir").status != 0;
    for (const auto& [options, message] : cases) {
        if (options[1].starts_with(plain) && !plainIsNoRepository) continue;
        std::vector<std::string> arguments{"-l", "c"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const RunResult refused = run(arguments);
        EXPECT_EQ(refused.ran.status, 2);
        EXPECT_EQ(refused.ran.err,
                  "stepcount: " + message + "\nTry 'stepcount --help' for more information.\n");
        EXPECT_EQ(refused.ran.out, "");
        EXPECT_FALSE(refused.written);
    }
}

// A repository that is there but of a form libgit2 cannot read (SHA-256
// ids) is not called missing: the message says why.
TEST_F(GitTest, RepositoryOfAFormNotReadIsRefusedSayingWhy) {
#ifdef STEPCOUNT_SANITIZED
    GTEST_SKIP() << "libgit2 1.5 leaks pcre2 match data when it checks a repository's extensions, "
                    "which the sanitized program reports at exit";
#endif
    const std::string sha256 = temp.at("sha256");
    if (runShell(gitCommand() + " init -q --object-format=sha256 " + shellQuoted(sha256)).status != 0) {
        GTEST_SKIP() << "this git makes no SHA-256 repository";
    }
    const RunResult refused = run({"-l", "c", "--repo", sha256, "HEAD"});
    EXPECT_EQ(refused.ran.status, 2);
    EXPECT_TRUE(refused.ran.err.starts_with("stepcount: cannot read the git repository at '" + sha256 +
                                            "': "))
        << refused.ran.err;
    EXPECT_FALSE(refused.written);
}

TEST_F(GitDiffTest, RevisionsCompareAsTheirCheckouts) {
    const std::vector<std::vector<std::string>> options = {
        {"-l", "c"}, {"-l", "cobol"}, {"-l", "sql", "--encoding", "utf-8"}, {"-m", "vb,c,sql,html"},
        {"-m", "vb,c,sql,html", "--encoding", "utf-8"}, {"-m", "vb,c,sql,html", "--ignore-case"}};
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
    for (const std::vector<std::string>& option :
         {std::vector<std::string>{"-m", "vb,c,sql,html"}, {"-l", "cobol", "--encoding", "utf-8"}}) {
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
