#include "support/git_repos.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "git/repository.h"

namespace stepcount::testing {

std::string shellQuoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
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

std::string gitCommand(const std::string& environment) {
    return "env -u GIT_DIR -u GIT_WORK_TREE -u GIT_INDEX_FILE -u GIT_OBJECT_DIRECTORY"
           " -u GIT_ALTERNATE_OBJECT_DIRECTORIES -u GIT_COMMON_DIR -u GIT_NAMESPACE"
           " GIT_CONFIG_NOSYSTEM=1 GIT_CONFIG_GLOBAL=/dev/null HOME=/nonexistent"
           " XDG_CONFIG_HOME=/nonexistent GIT_TERMINAL_PROMPT=0 LC_ALL=C " +
           environment + " git -c core.quotepath=false -c protocol.file.allow=always";
}

GitRepo GitRepo::create(std::string folder) {
    std::filesystem::create_directories(folder);
    GitRepo repo(std::move(folder));
    for (const char* setting : {"init -q -b main", "config user.name Tester",
                                "config user.email tester@example.com", "config gc.auto 0"}) {
        repo.git(setting);
    }
    return repo;
}

std::string GitRepo::command(const std::string& arguments, const std::string& environment) const {
    return "cd " + shellQuoted(path_) + " && " + gitCommand(environment) + ' ' + arguments;
}

std::string GitRepo::git(const std::string& arguments, const std::string& environment) const {
    const std::string errors = path_ + ".git-errors";
    const ShellRun run =
        runShell("{ " + command(arguments, environment) + "\n} 2>" + shellQuoted(errors));
    const std::string detail = std::filesystem::exists(errors) ? readFile(errors) : "";
    std::filesystem::remove(errors);
    if (run.status != 0) {
        throw std::runtime_error("git " + arguments + " failed in " + path_ + ": " + detail);
    }
    return run.out;
}

long GitRepo::objectCount(const std::string& name) const {
    const std::string figures = git("count-objects -v");
    const std::size_t at = figures.find(name + ": ");
    return at == std::string::npos ? -1 : std::stol(figures.substr(at + name.size() + 2));
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

void GitTest::SetUp() {
    if (!git::available()) GTEST_SKIP() << "this build of stepcount cannot read git repositories";
    if (runShell(gitCommand() + " --version").status != 0) {
        GTEST_SKIP() << "the git command is not installed";
    }
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
    if (std::filesystem::exists(folder)) return folder;
    // The subfolder after the last ":" (a revision may hold one of its own).
    const std::size_t colon = revision.rfind(':');
    std::string subfolder = colon == std::string::npos ? "" : revision.substr(colon + 1);
    while (!subfolder.empty() && subfolder.back() == '/') subfolder.pop_back();
    // The archive of a commit gives every file the commit's time.
    const std::string unpacked = subfolder.empty() ? folder : folder + ".whole";
    std::filesystem::create_directories(unpacked);
    repo.git("archive --format=tar " + shellQuoted(revision.substr(0, colon)) + " | tar -x -C " +
             shellQuoted(unpacked));
    if (subfolder.empty()) return folder;
    std::filesystem::rename(unpacked + '/' + subfolder, folder);
    std::filesystem::remove_all(unpacked);
    return folder;
}

namespace {

// A run on revisions did as the same run on their checkouts (which wrote
// more than a header): the same exit, messages and result file.
void expectSameRun(const RunResult& onRevisions, const RunResult& onFolders) {
    ASSERT_EQ(onFolders.ran.status, 0) << onFolders.ran.err;
    EXPECT_EQ(onRevisions.ran.status, 0) << onRevisions.ran.err;
    EXPECT_EQ(onRevisions.ran.err, onFolders.ran.err);
    EXPECT_GE(std::count(onFolders.result.begin(), onFolders.result.end(), '\n'), 3);
    EXPECT_EQ(onRevisions.result, onFolders.result);
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
