// The POSIX forms of the tests' helpers that call the system.
#include "support/result_rows.h"
#include "support/test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace stepcount::testing {

namespace {

// The user and group a program runs as with ProgramRun::asNobody.
constexpr uid_t kNobody = 65534;

// A copy of the program that kNobody can run even where the build folder is
// closed to others (a clone in a private folder), made once per test
// process; and why that user cannot run it, empty when it can.
const std::pair<std::string, std::string>& nobodysProgram() {
    static TempDir folder;
    static const std::pair<std::string, std::string> program = [] {
        const std::string path = folder.at("stepcount");
        std::error_code error;
        std::filesystem::copy_file(STEPCOUNT_BINARY, path, error);
        if (error) return std::pair{path, "cannot copy the program: " + error.message()};
        ::chmod(path.c_str(), 0755);
        ::chmod(folder.path().c_str(), 0755);
        for (std::filesystem::path up = folder.path();; up = up.parent_path()) {
            struct stat info {};
            if (::stat(up.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) {
                return std::pair{path, "the user nobody cannot reach " + up.string()};
            }
            if (up == up.parent_path()) return std::pair{path, std::string()};
        }
    }();
    return program;
}

}  // namespace

std::filesystem::path memoryTempFolder() {
    return ::access("/dev/shm", W_OK) == 0 ? std::filesystem::path("/dev/shm")
                                            : std::filesystem::temp_directory_path();
}

void useUtc() {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
}

bool makeSparseFile(const std::string& path, std::uint64_t size,
                    std::initializer_list<FilePiece> pieces) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool made = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    for (const FilePiece& piece : pieces) {
        made = made && ::pwrite(fd, piece.bytes.data(), piece.bytes.size(),
                                static_cast<off_t>(piece.offset)) ==
                           static_cast<ssize_t>(piece.bytes.size());
    }
    struct stat info {};
    made = made && ::fstat(fd, &info) == 0 && info.st_blocks <= 2048;
    ::close(fd);
    return made;
}

UnreadableFiles::~UnreadableFiles() = default;

void UnreadableFiles::add(const std::string& path) {
    if (::symlink("nowhere", path.c_str()) != 0) {
        throw std::runtime_error("cannot make the link " + path);
    }
}

int unreadableError() { return ENOENT; }

long peakMemoryKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

StartedProgram::StartedProgram(const ProgramRun& run) {
    // Everything the child needs is made before the fork: after it, only
    // calls that are safe in a forked child of a threaded process are made.
    const std::string outPath = io_.at("out");
    const std::string errPath = io_.at("err");
    const bool dropRoot = run.asNobody && ::geteuid() == 0;
    const std::string program = dropRoot ? nobodysProgram().first : STEPCOUNT_BINARY;
    std::vector<std::string> strings{program};
    strings.insert(strings.end(), run.arguments.begin(), run.arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    char zone[] = "TZ=UTC";
    char* environment[] = {zone, nullptr};
    if (run.asNobody) ::chmod(io_.path().c_str(), 0777);   // for its output files
    // Closed by the exec: the end of the child's time as a copy of this one.
    int execed[2];
    if (::pipe2(execed, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    pid_ = ::fork();
    if (pid_ != 0) {
        ::close(execed[1]);
        char byte;
        while (::read(execed[0], &byte, 1) < 0 && errno == EINTR) continue;
        ::close(execed[0]);
        return;
    }
    ::close(execed[0]);
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
        ::dup2(err, 2) < 0 || ::chdir(run.cwd.c_str()) != 0) {
        ::_exit(127);
    }
    if (run.fileSizeLimit >= 0) {
        // A write past the limit fails with EFBIG instead of ending the program.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(run.fileSizeLimit), static_cast<rlim_t>(run.fileSizeLimit)};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
    }
    if (dropRoot && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
        ::_exit(127);
    }
    ::execve(program.c_str(), argv.data(), environment);
    ::_exit(127);
}

StartedProgram::~StartedProgram() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    wait();
}

Ran StartedProgram::wait(int timeoutSeconds) {
    Ran ran;
    if (pid_ <= 0) return ran;
    // The kernel's peak for a child includes the memory of the test process
    // it was forked from, so the program's own peak (VmHWM, which starts
    // afresh at exec) is read while it runs.
    const std::string statusPath = "/proc/" + std::to_string(pid_) + "/status";
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        const pid_t ended = ::waitpid(pid_, &status, WNOHANG);
        if (ended == pid_ || (ended < 0 && errno != EINTR)) break;
        if (timeoutSeconds > 0 && !ran.timedOut && std::chrono::steady_clock::now() > deadline) {
            ran.timedOut = true;
            ::kill(pid_, SIGKILL);
        }
        std::ifstream in(statusPath);
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("VmHWM:")) ran.maxRssKiB = std::max(ran.maxRssKiB, std::stol(line.substr(6)));
        }
        ::usleep(2000);
    }
    pid_ = -1;
    ran.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ran.out = readFile(io_.at("out"));
    ran.err = readFile(io_.at("err"));
    return ran;
}

std::string whyNobodyCannotRun() { return ::geteuid() == 0 ? nobodysProgram().second : ""; }

bool StartedProgram::waitUntilOpen(const std::string& path) const {
    namespace fs = std::filesystem;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    const fs::path fds = "/proc/" + std::to_string(pid_) + "/fd";
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code error;
        for (fs::directory_iterator it(fds, error), end; !error && it != end; it.increment(error)) {
            if (fs::read_symlink(it->path(), error) == path) return true;
        }
        if (!fs::exists(fds)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

}  // namespace stepcount::testing

namespace stepcount::testing::rows {

// Made and removed through descriptors, level by level, for the paths may
// exceed the system's limit.
FolderChain::FolderChain(const std::string& top, std::string name, int levels)
    : top_(top), name_(std::move(name)), levels_(levels) {
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; fd >= 0 && level <= levels; ++level) {
        ::close(::openat(fd, "e.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        if (level == levels) break;
        const int child = ::mkdirat(fd, name_.c_str(), 0700) == 0
                              ? ::openat(fd, name_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                              : -1;
        ::close(fd);
        fd = child;
    }
    const int source = fd < 0 ? -1 : ::openat(fd, "f.c", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const timespec times[2] = {{kWritten, 0}, {kWritten, 0}};
    const bool made = source >= 0 &&
                      ::write(source, kOneLine.data(), kOneLine.size()) == ssize_t(kOneLine.size()) &&
                      ::futimens(source, times) == 0;
    if (source >= 0) ::close(source);
    if (fd >= 0) ::close(fd);
    if (!made) {
        remove();
        throw std::runtime_error("cannot make a chain of folders below " + top);
    }
}

// Goes down as far as the chain goes, then removes it bottom up.
void FolderChain::remove() const {
    int fd = ::open(top_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int depth = 0;
    while (fd >= 0 && depth < levels_) {
        const int child = ::openat(fd, name_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (child < 0) break;
        ::close(fd);
        fd = child;
        ++depth;
    }
    if (fd < 0) return;
    ::unlinkat(fd, "f.c", 0);
    for (; ::unlinkat(fd, "e.txt", 0), depth > 0; --depth) {
        const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parent;
        if (fd < 0) return;
        ::unlinkat(fd, name_.c_str(), AT_REMOVEDIR);
    }
    ::close(fd);
}

}  // namespace stepcount::testing::rows
