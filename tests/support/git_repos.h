// Git repositories that tests build with the git command, kept apart from
// the user's and the system's git settings; plain-folder checkouts of their
// revisions; and the commands run beside the program (a shell, in the
// foreground or the background).
#pragma once

#include <sys/types.h>

#include <ctime>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.h"

namespace stepcount::testing {

// Two commit times, 2021/03/04 05:06:07 and 2021/04/04 05:06:09 UTC: odd
// seconds, which the date column shows rounded down to the even second.
inline constexpr std::time_t kFirstCommit = 1614834367;
inline constexpr std::time_t kSecondCommit = 1617512769;

// 日本語 in CP932 (93FA 967B 8CEA), as text and as a file name.
inline const std::string kNihongo = "\x93\xFA\x96\x7B\x8C\xEA";

// `text` as one word for sh.
std::string shellQuoted(std::string_view text);

// What a shell command printed (stdout and stderr together) and its exit status.
struct ShellRun {
    int status = -1;
    std::string out;
};

// Runs `command` with sh and waits for it.
ShellRun runShell(const std::string& command);

// A shell command running in the background, its output thrown away; killed
// with what it started if still running when the object goes.
class BackgroundShell {
public:
    explicit BackgroundShell(const std::string& command);
    ~BackgroundShell();
    BackgroundShell(const BackgroundShell&) = delete;
    BackgroundShell& operator=(const BackgroundShell&) = delete;

    bool running();
    // Waits for the command; its exit status.
    int wait();

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

// Whether the git command can be run here.
bool gitAvailable();

// The prefix of every git command of the tests: no system or global
// settings, no variables of a git that may have started the tests; the
// variable assignments `environment` added.
std::string gitCommand(const std::string& environment = {});

// A repository with a work tree, built with the git command. Commits are
// made at given times (UTC) so that their dates are known.
class GitRepo {
public:
    // The repository at `folder`, as it is (a clone).
    explicit GitRepo(std::string folder) : path_(std::move(folder)) {}
    // Creates a repository at `folder` (and the folder when missing), on the
    // branch main, with its own user name and e-mail and no automatic gc.
    static GitRepo create(std::string folder);

    const std::string& path() const { return path_; }
    // The path of `relative` in the work tree.
    std::string at(std::string_view relative) const { return path_ + '/' + std::string(relative); }

    // The shell command that runs git with `arguments` in the repository.
    std::string command(const std::string& arguments, const std::string& environment = {}) const;
    // Runs git with `arguments` (shell words, a pipe to other commands
    // allowed) in the repository, with the variable assignments `environment`,
    // and returns what it printed on stdout; throws, with its stderr, when it
    // fails.
    std::string git(const std::string& arguments, const std::string& environment = {}) const;

    // Writes `bytes` to the work tree file `relative`, making its folders.
    void write(std::string_view relative, std::string_view bytes) const;
    // Removes a file or folder of the work tree.
    void remove(std::string_view relative) const;

    // Stages every change and commits it at `time`, with the message
    // "at: TIME" (and tags the commit `tag` when one is given); returns the
    // commit id.
    std::string commitAll(std::time_t time, const std::string& tag = {}) const;

    // Adds the submodule `name`: a repository made at `folder`, holding one
    // committed file, lib.c.
    void addSubmodule(const std::string& name, const std::string& folder) const;

    // The sizes of the files of `revision`, by their path in it.
    std::map<std::string, long long> blobSizes(const std::string& revision) const;

private:
    std::string path_;
};

// Writes the tree of `revision` (of its folder `subfolder`, when given) into
// the new folder `folder` as a checkout would, every file's last write being
// the revision's commit time.
void exportRevision(const GitRepo& repo, const std::string& revision, const std::string& folder,
                    const std::string& subfolder = {});

// Copies the folder tree `from` to the new folder `to`, links as links and
// last writes kept, leaving out the entries named `skipped` at its top.
void copyTree(const std::string& from, const std::string& to, const std::string& skipped = {});

// The date column of a file last written at `time`, in UTC: the time
// rounded down to the even second.
std::string dateColumn(std::time_t time);

// The fields of one CSV line of a result file (its CR LF left out), quoted
// fields unquoted.
std::vector<std::string> csvFields(std::string_view line);

// The lines of a result file, their CR LF left out.
std::vector<std::string> resultLines(const std::string& bytes);

// Whether two result files are the same bytes; when not, the first line
// that differs, as text.
::testing::AssertionResult sameResult(const std::string& actual, const std::string& expected);

// The program's run and the result file it wrote ("" when none).
struct RunResult {
    Ran ran;
    std::string result;
    bool written = false;   // whether the result file exists
};

// Tests of the program on repositories: skipped where git or the program's
// reading of repositories is missing; a temporary folder for the
// repositories, checkouts and result files.
class GitTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Runs the program with `arguments` and "-o RESULT" in `cwd`.
    RunResult run(std::vector<std::string> arguments, const std::string& cwd = "/");

    // The checkout of `revision` ("REV" or "REV:SUBFOLDER") of `repo`, in a
    // folder of the name typed (made once), and the folder holding it.
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
