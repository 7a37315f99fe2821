#include "support/test_support.h"

#include "report/result_file.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <cerrno>
#include <stdexcept>
#include <stdlib.h>

namespace stepcount::testing {

namespace {

// A copy of the program that the user kNobody can run even where the build
// folder is closed to others (a clone in a private folder): in a folder of
// its own under the system's temporary folder, made once per test process and
// removed at its exit.
struct NobodysProgram {
    std::string path;
    std::string problem;   // why that user cannot run it; empty when it can
};

const NobodysProgram& nobodysProgram() {
    static TempDir folder;
    static const NobodysProgram program = [] {
        NobodysProgram made;
        std::error_code error;
        made.path = folder.at("stepcount");
        std::filesystem::copy_file(STEPCOUNT_BINARY, made.path, error);
        if (error) {
            made.problem = "cannot copy the program: " + error.message();
            return made;
        }
        ::chmod(made.path.c_str(), 0755);
        ::chmod(folder.path().c_str(), 0755);
        for (std::filesystem::path up = folder.path(); !up.empty(); up = up.parent_path()) {
            struct stat info {};
            if (::stat(up.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) {
                made.problem = "the user " + std::to_string(kNobody) + " cannot reach " + up.string() +
                               ", the folder of the program's copy";
                break;
            }
            if (up == up.parent_path()) break;
        }
        return made;
    }();
    return program;
}

RunOutputs withResultFile(ResultFileWriter& resultFile, const std::vector<WalkObserver*>& extra) {
    RunOutputs outputs{&resultFile};
    outputs.insert(outputs.end(), extra.begin(), extra.end());
    return outputs;
}

}  // namespace

RunOutcome runLanguageCount(const CountSettings& settings, int languageCode, RunFrontEnd& frontEnd,
                            const std::vector<WalkObserver*>& extra) {
    ResultFileWriter resultFile(resultPath(settings), settings.Encoding);
    return runLanguageCode(settings, languageCode, frontEnd, withResultFile(resultFile, extra));
}

RunOutcome runCommand(const CountSettings& settings, RunFrontEnd& frontEnd,
                      const std::vector<WalkObserver*>& extra) {
    ResultFileWriter resultFile(resultPath(settings), settings.Encoding);
    return runCountCommand(settings, frontEnd, withResultFile(resultFile, extra));
}

std::filesystem::path memoryTempFolder() {
    return ::access("/dev/shm", W_OK) == 0 ? std::filesystem::path("/dev/shm")
                                            : std::filesystem::temp_directory_path();
}

TempDir::TempDir() : TempDir(std::filesystem::temp_directory_path()) {}

TempDir::TempDir(const std::filesystem::path& parent) {
    std::string pattern = (parent / "stepcount-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Folders made unreadable by a test would stop the removal.
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
    }
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::at(std::string_view relative) const {
    return (path_ / std::filesystem::path(std::string(relative))).string();
}

std::string TempDir::write(std::string_view relative, std::string_view bytes) const {
    const std::filesystem::path file = path_ / std::filesystem::path(std::string(relative));
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
    return file.string();
}

std::string TempDir::mkdir(std::string_view relative) const {
    const std::filesystem::path folder = path_ / std::filesystem::path(std::string(relative));
    std::filesystem::create_directories(folder);
    return folder.string();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

StartedProgram::StartedProgram(const ProgramRun& run) {
    // Everything the child needs is made before the fork: after it, only
    // calls that are safe in a forked child of a threaded process are made.
    const std::string outPath = io_.at("out");
    const std::string errPath = io_.at("err");
    const bool dropRoot = run.asNobody && ::geteuid() == 0;
    const std::string program = dropRoot ? nobodysProgram().path : STEPCOUNT_BINARY;
    std::vector<std::string> strings{program};
    strings.insert(strings.end(), run.arguments.begin(), run.arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    char zone[] = "TZ=UTC";
    char* environment[] = {zone, nullptr};
    if (run.asNobody) {
        // The program must be able to create its output files there.
        ::chmod(io_.path().c_str(), 0777);
    }

    // Closed by the exec: the end of the child's time as a copy of this
    // process.
    int execed[2];
    if (::pipe2(execed, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
    pid_ = ::fork();
    if (pid_ != 0) {
        ::close(execed[1]);
        char byte;
        while (::read(execed[0], &byte, 1) < 0 && errno == EINTR) {
        }
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
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
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
        std::string line;
        while (std::getline(in, line)) {
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

Ran runStepcount(const ProgramRun& run) { return StartedProgram(run).wait(); }

std::string whyNobodyCannotRun() { return ::geteuid() == 0 ? nobodysProgram().problem : ""; }

Counts countsOf(const CountResult& r) {
    return {double(r.ulReadLines), double(r.ulCommentLines), double(r.ulBlankLines),
            double(r.ulRealSteps), double(r.ulTotalSteps), r.dCommentRate};
}

Counts countsOf(const VBCountResult& r) {
    return {double(r.iFileType),     double(r.ulReadLines),  double(r.ulCommentLines),
            double(r.ulBlankLines),  double(r.ulRealSteps),  double(r.ulTotalSteps),
            double(r.ulPropertySteps), r.dCommentRate};
}

Counts countsOf(const COBOLCountResult& r) {
    return {double(r.ulReadLines),     double(r.ulCommentLines), double(r.ulDebugLines),
            double(r.ulBlankLines),    double(r.ulRealSteps),    double(r.ulTotalSteps),
            double(r.ulIdentDivLines), double(r.ulEnvDivLines),  double(r.ulDataDivLines),
            double(r.ulProcDivLines),  r.dCommentRate};
}

}  // namespace stepcount::testing

namespace stepcount {

void PrintTo(LineClass lineClass, std::ostream* out) {
    static constexpr const char* kNames[] = {"Blank", "Comment", "Code", "PropertyDefinition",
                                             "Debug", "Continuation"};
    *out << kNames[static_cast<int>(lineClass)];
}

void PrintTo(Division division, std::ostream* out) {
    static constexpr const char* kNames[] = {"None", "Identification", "Environment", "Data",
                                             "Procedure"};
    *out << kNames[static_cast<int>(division)];
}

void PrintTo(const LineVerdict& verdict, std::ostream* out) {
    *out << '{';
    PrintTo(verdict.lineClass, out);
    *out << ", ";
    PrintTo(verdict.division, out);
    *out << '}';
}

}  // namespace stepcount
