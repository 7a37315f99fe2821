#include "support/git_repos.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "git/repository.h"

namespace stepcount::testing {

std::string shellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

ShellRun runShell(const std::string& command) {
    ShellRun run;
    FILE* pipe = ::popen(("{ " + command + "\n} 2>&1").c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run: " + command);
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

BackgroundShell::BackgroundShell(const std::string& command) {
    const std::string line = command + " >/dev/null 2>&1";
    const char* argv[] = {"sh", "-c", line.c_str(), nullptr};
    // A process group of its own, so that what it started goes with it.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    const int failed = ::posix_spawn(&pid_, "/bin/sh", nullptr, &attributes,
                                     const_cast<char* const*>(argv), environ);
    ::posix_spawnattr_destroy(&attributes);
    if (failed != 0) throw std::runtime_error("cannot start: " + command);
}

BackgroundShell::~BackgroundShell() {
    if (running()) {
        ::kill(-pid_, SIGKILL);
        wait();
    }
}

bool BackgroundShell::running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

int BackgroundShell::wait() {
    int status = 0;
    while (pid_ > 0 && ::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    if (pid_ > 0) status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
    return status_;
}

std::string gitCommand(const std::string& environment) {
    return "env -u GIT_DIR -u GIT_WORK_TREE -u GIT_INDEX_FILE -u GIT_OBJECT_DIRECTORY"
           " -u GIT_ALTERNATE_OBJECT_DIRECTORIES -u GIT_COMMON_DIR -u GIT_NAMESPACE"
           " GIT_CONFIG_NOSYSTEM=1 GIT_CONFIG_GLOBAL=/dev/null HOME=/nonexistent"
           " XDG_CONFIG_HOME=/nonexistent GIT_TERMINAL_PROMPT=0 LC_ALL=C " +
           environment + " git -c core.quotepath=false -c protocol.file.allow=always";
}

bool gitAvailable() { return runShell(gitCommand() + " --version").status == 0; }

GitRepo GitRepo::create(std::string folder) {
    std::filesystem::create_directories(folder);
    GitRepo repo(std::move(folder));
    repo.git("init -q -b main");
    repo.git("config user.name Tester");
    repo.git("config user.email tester@example.com");
    repo.git("config gc.auto 0");
    return repo;
}

std::string GitRepo::command(const std::string& arguments, const std::string& environment) const {
    return "cd " + shellQuoted(path_) + " && " + gitCommand(environment) + ' ' + arguments;
}

std::string GitRepo::git(const std::string& arguments, const std::string& environment) const {
    const std::string errors = path_ + ".git-errors";
    const ShellRun run =
        runShell("{ " + command(arguments, environment) + "\n} 2>" + shellQuoted(errors));
    std::string detail;
    if (run.status != 0 && std::filesystem::exists(errors)) detail = readFile(errors);
    std::filesystem::remove(errors);
    if (run.status != 0) {
        throw std::runtime_error("git " + arguments + " failed in " + path_ + ": " + detail);
    }
    return run.out;
}

void GitRepo::write(std::string_view relative, std::string_view bytes) const {
    const std::filesystem::path file(at(relative));
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

void GitRepo::remove(std::string_view relative) const { std::filesystem::remove_all(at(relative)); }

std::string GitRepo::commitAll(std::time_t time, const std::string& tag) const {
    const std::string date = std::to_string(time).insert(0, 1, '@') + " +0000";
    git("add -A");
    git("commit -q --allow-empty -m " + shellQuoted("at: " + std::to_string(time)),
        "GIT_AUTHOR_DATE=" + shellQuoted(date) + " GIT_COMMITTER_DATE=" + shellQuoted(date));
    if (!tag.empty()) git("tag " + shellQuoted(tag));
    std::string id = git("rev-parse HEAD");
    while (!id.empty() && id.back() == '\n') id.pop_back();
    return id;
}

void GitRepo::addSubmodule(const std::string& name, const std::string& folder) const {
    const GitRepo library = create(folder);
    library.write("lib.c", "int lib;\n");
    library.commitAll(kFirstCommit);
    git("submodule add -q " + shellQuoted(folder) + ' ' + shellQuoted(name));
}

std::map<std::string, long long> GitRepo::blobSizes(const std::string& revision) const {
    // "<mode> blob <id> <size>\t<path>", the path unquoted (-z).
    std::map<std::string, long long> sizes;
    const std::string listing = git("ls-tree -r -l -z " + shellQuoted(revision));
    std::size_t start = 0;
    for (std::size_t end; (end = listing.find('\0', start)) != std::string::npos; start = end + 1) {
        const std::string entry = listing.substr(start, end - start);
        const std::size_t tab = entry.find('\t');
        std::istringstream fields(entry.substr(0, tab));
        std::string mode, type, id, size;
        fields >> mode >> type >> id >> size;
        if (type == "blob") sizes[entry.substr(tab + 1)] = std::stoll(size);
    }
    return sizes;
}

void exportRevision(const GitRepo& repo, const std::string& revision, const std::string& folder,
                    const std::string& subfolder) {
    // The archive of a commit gives every file the commit's time.
    const std::string unpacked = subfolder.empty() ? folder : folder + ".whole";
    std::filesystem::create_directories(unpacked);  // with the folder's parent
    repo.git("archive --format=tar " + shellQuoted(revision) + " | tar -x -C " +
             shellQuoted(unpacked));
    if (subfolder.empty()) return;
    std::filesystem::rename(unpacked + '/' + subfolder, folder);
    std::filesystem::remove_all(unpacked);
}

void copyTree(const std::string& from, const std::string& to, const std::string& skipped) {
    const ShellRun run = runShell("cp -a " + shellQuoted(from) + ' ' + shellQuoted(to));
    if (run.status != 0) throw std::runtime_error("cannot copy " + from + ": " + run.out);
    if (!skipped.empty()) std::filesystem::remove_all(to + '/' + skipped);
}

std::string dateColumn(std::time_t time) {
    time -= time % 2;
    std::tm parts{};
    ::gmtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &parts);
    return text;
}

std::vector<std::string> csvFields(std::string_view line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::vector<std::string> resultLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    if (start < bytes.size()) lines.push_back(bytes.substr(start));
    return lines;
}

::testing::AssertionResult sameResult(const std::string& actual, const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    const std::vector<std::string> actualLines = resultLines(actual);
    const std::vector<std::string> expectedLines = resultLines(expected);
    std::size_t line = 0;
    while (line < actualLines.size() && line < expectedLines.size() &&
           actualLines[line] == expectedLines[line]) {
        ++line;
    }
    auto lineAt = [](const std::vector<std::string>& lines, std::size_t index) {
        return index < lines.size() ? ::testing::PrintToString(lines[index]) : "(none)";
    };
    return ::testing::AssertionFailure()
           << "the results differ at line " << line + 1 << " (of " << actualLines.size() << " and "
           << expectedLines.size() << "):\n  actual:   " << lineAt(actualLines, line)
           << "\n  expected: " << lineAt(expectedLines, line);
}

void GitTest::SetUp() {
    if (!git::available()) GTEST_SKIP() << "this build of stepcount cannot read git repositories";
    if (!gitAvailable()) GTEST_SKIP() << "the git command is not installed";
}

RunResult GitTest::run(std::vector<std::string> arguments, const std::string& cwd) {
    const std::string output = temp.at("result-" + std::to_string(++runs_) + ".csv");
    arguments.insert(arguments.begin(), {"-o", output});
    RunResult result;
    result.ran = runStepcount(arguments, cwd);
    result.written = std::filesystem::exists(output);
    if (result.written) result.result = readFile(output);
    return result;
}

std::string GitTest::checkouts(const GitRepo& repo) const {
    return temp.at("checkouts-" + std::filesystem::path(repo.path()).filename().string());
}

std::string GitTest::checkout(const GitRepo& repo, const std::string& revision) {
    std::string folder = revision;
    while (folder.back() == '/') folder.pop_back();
    folder = checkouts(repo) + '/' + folder;
    if (!std::filesystem::exists(folder)) {
        // The subfolder after the last ":" (a revision may hold one of its own).
        const std::size_t colon = revision.rfind(':');
        std::string subfolder = colon == std::string::npos ? "" : revision.substr(colon + 1);
        while (!subfolder.empty() && subfolder.back() == '/') subfolder.pop_back();
        exportRevision(repo, revision.substr(0, colon), folder, subfolder);
    }
    return folder;
}

namespace {

// A run on revisions did as the same run on their checkouts (which wrote
// more than a header): the same exit, messages and result file.
void expectSameRun(const RunResult& onRevisions, const RunResult& onFolders) {
    ASSERT_EQ(onFolders.ran.status, 0) << onFolders.ran.err;
    EXPECT_EQ(onRevisions.ran.status, 0) << onRevisions.ran.err;
    EXPECT_EQ(onRevisions.ran.err, onFolders.ran.err);
    EXPECT_GE(resultLines(onFolders.result).size(), 3u);
    EXPECT_TRUE(sameResult(onRevisions.result, onFolders.result));
}

}  // namespace

void GitTest::expectCountLikeCheckout(const GitRepo& repo, const std::string& revision,
                                      const std::vector<std::string>& options) {
    checkout(repo, revision);
    std::vector<std::string> arguments = options;
    arguments.push_back(revision);
    const RunResult ofCheckout = run(arguments, checkouts(repo));
    arguments.insert(arguments.end() - 1, {"--repo", repo.path()});
    const RunResult ofRevision = run(arguments);
    expectSameRun(ofRevision, ofCheckout);
}

void GitTest::expectDiffLikeCheckouts(const GitRepo& repo, const std::string& before,
                                      const std::string& after,
                                      const std::vector<std::string>& options,
                                      const std::string& workTree) {
    auto folderOf = [&](const std::string& revision) {
        return revision == "." ? workTree : checkout(repo, revision);
    };
    std::vector<std::string> arguments = options;
    arguments.insert(arguments.end(), {"--diff", folderOf(before), folderOf(after)});
    const RunResult ofFolders = run(arguments);
    arguments.insert(arguments.end() - 3, {"--repo", repo.path()});
    arguments.end()[-2] = before;
    arguments.end()[-1] = after;
    const RunResult ofRevisions = run(arguments);
    expectSameRun(ofRevisions, ofFolders);
}

}  // namespace stepcount::testing
