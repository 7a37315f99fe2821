// Counting a revision of a git repository (--repo): the rows are those of a
// count of the revision's checkout into a folder named after it, the dates
// being the commit's time; links and submodules are listed uncounted; what
// cannot be found is refused with a message that names it.
#include <filesystem>
#include <string>
#include <vector>

#include "support/git_repos.h"
#include "support/result_rows.h"

namespace stepcount::testing {
namespace {

using GitCountTest = GitHistoryTest;

const std::vector<std::vector<std::string>> kLanguageOptions = {
    {"-l", "c"},   {"-l", "cobol"}, {"-l", "vb"}, {"-l", "sql"},
    {"-l", "html"}, {"-m", "vb,c,sql,html"}, {"-m", "c,sql"}, {"-m", "vb,c,sql,html", "-j", "1"},
};

TEST_F(GitCountTest, EveryLanguageAndEncodingCountsAsTheCheckout) {
    for (const std::vector<std::string>& language : kLanguageOptions) {
        for (const char* encoding : {"cp932", "utf-8"}) {
            std::vector<std::string> options = language;
            options.insert(options.end(), {"--encoding", encoding});
            SCOPED_TRACE(::testing::PrintToString(options));
            expectCountLikeCheckout(repo, "v1", options);
            expectCountLikeCheckout(repo, "v2", options);
        }
    }
}

TEST_F(GitCountTest, EveryWayOfNamingARevisionCountsAsItsCheckout) {
    // As typed: the rows' first folder.
    const std::string revisions[] = {
        "v1",     "r1",          "main",     "HEAD~1",    firstId,           firstId.substr(0, 12),
        "HEAD",   "v1:src",      "v1:src/",  "v2:deep/a", "r1:legacy",       "main~1:deep/a/b/",
        "v1:",
    };
    for (const std::string& revision : revisions) {
        for (const char* encoding : {"cp932", "utf-8"}) {
            SCOPED_TRACE(revision + " " + encoding);
            expectCountLikeCheckout(repo, revision,
                                    {"-m", "vb,c,sql,html", "--encoding", encoding});
            expectCountLikeCheckout(repo, revision, {"-l", "cobol", "--encoding", encoding});
        }
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
    const std::string date = kFirstDate;
    EXPECT_EQ(counted.result,
              rows::kStandardHeader + rows::uncountedRow("v1", ".gitmodules") + "v1,a.c,File,3," +
                  date + ",1,0,0,1,1,0.0\r\n" + rows::folderRow("v1", "lib") +
                  rows::uncountedRow("v1", "link.c") + rows::uncountedRow("v1", "linkdir") +
                  rows::folderRow("v1", "sub") + "v1/sub,b.c,File,3," + date +
                  ",1,0,0,1,1,0.0\r\n" + rows::uncountedRow("v1/sub", "dangling.c"));
    EXPECT_EQ(counted.ran.err,
              "Not counted \"v1/lib\": a submodule (another repository), listed without its "
              "content\n"
              "Not counted \"v1/link.c\": a symbolic link in the repository\n"
              "Not counted \"v1/linkdir\": a symbolic link in the repository\n"
              "Not counted \"v1/sub/dangling.c\": a symbolic link in the repository\n");
    EXPECT_EQ(counted.ran.out, "計数完了しました。\nFiles counted: 2, files not counted: 4, folders: 2, "
                               "total steps: 2. "
                               "Result file: " + temp.at("result-1.csv") + "\n");

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
                                       ", not a folder\nTry 'stepcount --help' for more "
                                       "information.\n");
        EXPECT_FALSE(refused.written);
    }
}

// A blob of 100 MiB is read from the object store and counted whole. Its
// bytes are in memory twice at the peak: as the library inflates the object
// and as the counter's copy.
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

    const RunResult counted = run({"-l", "c", "--repo", repo.path(), "v1"});
    EXPECT_EQ(counted.ran.status, 0) << counted.ran.err;
    EXPECT_EQ(counted.result, rows::kStandardHeader + rows::folderRow("v1", "big") +
                                  "v1/big,big.c,File,104857600," + kFirstDate +
                                  ",1638400,0,0,1638400,1638400,0.0\r\n");
    std::cout << "[ peak    ] counting a 100 MiB blob: " << counted.ran.maxRssKiB << " KiB\n";
    RecordProperty("peak_rss_kib", std::to_string(counted.ran.maxRssKiB));
#ifndef STEPCOUNT_SANITIZED
    EXPECT_LT(counted.ran.maxRssKiB, 250 * 1024);
#endif
}

// What cannot be found is refused before anything is written: exit 2 and
// a message that names it.
TEST_F(GitCountTest, WhatCannotBeFoundIsRefusedAndNothingIsWritten) {
    repo.git("clone -q --bare . " + shellQuoted(temp.at("bare.git")));
    const std::string blob = repo.git("rev-parse v1:src/a,b.c").substr(0, 40);
    const std::string plain = temp.mkdir("plain");
    const std::string& at = repo.path();
    const std::string unknown = "unknown revision 'nope' in the repository at " + at;
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const Case cases[] = {
        {{"--repo", plain, "v1"}, "no git repository at '" + plain + "'"},
        {{"--repo", plain + "/missing", "v1"}, "no git repository at '" + plain + "/missing'"},
        {{"--repo", at, "nope"}, unknown},
        {{"--repo", at, "nope:src"}, unknown},
        {{"--repo", at, "v1:src/a,b.c"}, "'src/a,b.c' in revision 'v1' is a file, not a folder"},
        {{"--repo", at, blob},
         "'" + blob + "' names a file, not a folder tree, in the repository at " + at},
        {{"--repo", at, "v1:nope"}, "no folder 'nope' in revision 'v1'"},
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
    for (const Case& c : cases) {
        if (c.arguments[1].starts_with(plain) && !plainIsNoRepository) continue;
        std::vector<std::string> arguments{"-l", "c"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        SCOPED_TRACE(::testing::PrintToString(arguments));
        const RunResult refused = run(arguments);
        EXPECT_EQ(refused.ran.status, 2);
        EXPECT_EQ(refused.ran.err, "stepcount: " + c.message +
                                       "\nTry 'stepcount --help' for more information.\n");
        EXPECT_EQ(refused.ran.out, "");
        EXPECT_FALSE(refused.written);
    }
}

}  // namespace
}  // namespace stepcount::testing
