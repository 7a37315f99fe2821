// Git repositories that tests build with the git command, apart from the
// user's and the system's settings, and checkouts of their revisions.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.h"

namespace stepcount::testing {

// Two commit times, 2021/03/04 05:06:07 and 2021/04/04 05:06:09 UTC: odd
// seconds, which the date column shows rounded down to the even second.
inline constexpr std::time_t kFirstCommit = 1614834367;
inline constexpr std::time_t kSecondCommit = 1617512769;
inline const std::string kFirstDate = "2021/03/04 05:06:06";

// 日本語 in CP932 (93FA 967B 8CEA), as text and as a file name.
inline const std::string kNihongo = "\x93\xFA\x96\x7B\x8C\xEA";

std::string shellQuoted(std::string_view text);

// What a shell command printed (stdout and stderr together) and its exit status.
struct ShellRun {
    int status = -1;
    std::string out;
};
ShellRun runShell(const std::string& command);

// The prefix of every git command of the tests: no system or global
// settings, no variables of a git that may have started the tests; the
// variable assignments `environment` added.
std::string gitCommand(const std::string& environment = {});

// A repository with a work tree, its commits made at given times (UTC).
class GitRepo {
public:
    explicit GitRepo(std::string folder) : path_(std::move(folder)) {}
    // A new repository on the branch main, with its own user and no automatic gc.
    static GitRepo create(std::string folder);

    const std::string& path() const { return path_; }
    std::string at(std::string_view relative) const { return path_ + '/' + std::string(relative); }

    // The shell command that runs git with `arguments` in the repository.
    std::string command(const std::string& arguments, const std::string& environment = {}) const;
    // Runs it and returns its stdout; throws, with its stderr, when it fails.
    std::string git(const std::string& arguments, const std::string& environment = {}) const;

    void write(std::string_view relative, std::string_view bytes) const;
    void remove(std::string_view relative) const;

    // The figure `name` of `git count-objects -v` ("count": loose objects).
    long objectCount(const std::string& name) const;

    // Stages every change and commits it at `time` (tagged `tag` when one is
    // given); returns the commit id.
    std::string commitAll(std::time_t time, const std::string& tag = {}) const;

    // Adds the submodule `name`: a repository made at `folder`, holding one
    // committed file, lib.c.
    void addSubmodule(const std::string& name, const std::string& folder) const;

private:
    std::string path_;
};

// The program's run and the result file it wrote ("" when none).
struct RunResult {
    Ran ran;
    std::string result;
    bool written = false;  // whether the result file exists
};

// Tests of the program on repositories, skipped where git or the program's
// reading of repositories is missing.
class GitTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Runs the program with `arguments` and "-o RESULT" in `cwd`.
    RunResult run(std::vector<std::string> arguments, const std::string& cwd = "/");

    // The checkout of `revision` ("REV" or "REV:SUBFOLDER") of `repo`, as a
    // checkout writes it (every file's last write the commit's time), in a
    // folder of the name typed (made once) in checkouts(repo).
    std::string checkout(const GitRepo& repo, const std::string& revision);
    std::string checkouts(const GitRepo& repo) const;

    // Counting `revision` of `repo` with `options` gives the rows, and the
    // messages, of counting its checkout.
    void expectCountLikeCheckout(const GitRepo& repo, const std::string& revision,
                                 const std::vector<std::string>& options);
    // Comparing the revisions `before` and `after` of `repo` (either "." for
    // the work tree, when `workTree` is its copy) gives the rows, and the
    // messages, of comparing their checkouts.
    void expectDiffLikeCheckouts(const GitRepo& repo, const std::string& before,
                                 const std::string& after, const std::vector<std::string>& options,
                                 const std::string& workTree = {});

    TempDir temp;

private:
    int runs_ = 0;
};

}  // namespace stepcount::testing
