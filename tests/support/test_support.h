// Helpers shared by the tests: a message display that records what it is
// asked to show, a temporary folder that removes itself, files the tests
// make (sparse, unreadable), the program run as a process of its own, the
// verdicts of line rules for a list of lines, and the counts of counted
// files.
//
// Paths are std::string as the program takes them: the file system's bytes
// on POSIX, UTF-8 on Windows.
#pragma once

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/types.h>
#endif

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "counters/count_result.h"
#include "counters/languages.h"
#include "counters/line_class.h"
#include "runs/count_command.h"
#include "runs/count_runs.h"
#include "runs/run_front_end.h"

namespace stepcount::testing {

// Records what a counter or a run shows: the counters' error dialogs in
// `messages`, and everything in order in `events` ("busy shown",
// "busy hidden", "dialog: <text>", "info: <text>", "failure: <text>"), with
// the captions of the message boxes in `captions`.
class RecordingFrontEnd : public RunFrontEnd {
public:
    void showMessage(std::string_view text) override {
        messages.emplace_back(text);
        events.push_back("dialog: " + std::string(text));
    }
    void showMessageBox(std::string_view text, std::string_view caption, MessageKind kind) override {
        events.push_back((kind == MessageKind::Failure ? "failure: " : "info: ") + std::string(text));
        captions.emplace_back(caption);
    }
    void showBusy() override { events.emplace_back("busy shown"); }
    void hideBusy() override { events.emplace_back("busy hidden"); }

    std::vector<std::string> messages;
    std::vector<std::string> events;
    std::vector<std::string> captions;
};
using RecordingDisplay = RecordingFrontEnd;

// The LanguageCode of a language counted alone.
constexpr int codeOf(LanguageId language) { return static_cast<int>(language); }

// Runs the count that `languageCode` names into the result file that
// `settings` name, followed by the `extra` observers.
RunOutcome runLanguageCount(const CountSettings& settings, int languageCode, RunFrontEnd& frontEnd,
                            const std::vector<WalkObserver*>& extra = {});

// The same through the count command, its checks first.
RunOutcome runCommand(const CountSettings& settings, RunFrontEnd& frontEnd,
                      const std::vector<WalkObserver*>& extra = {});

// A path given as the program takes it, for std::filesystem and back.
std::filesystem::path fsPath(std::string_view path);
std::string pathText(const std::filesystem::path& path);

// The folder for temporary files that are best kept in memory (deep trees,
// huge sparse files): /dev/shm when it may be written, else the system's
// temporary folder.
std::filesystem::path memoryTempFolder();

// Makes dates in the test process's own runs those of UTC, as the expected
// rows have them: TZ=UTC on POSIX. A Windows process has the system's time
// zone (Wine's is the TZ it was started with): a failure says so when that
// is not UTC.
void useUtc();

// A fresh folder under the system's temporary folder, removed with its
// content when the object goes.
class TempDir {
public:
    TempDir();
    // The same under the folder `parent` instead.
    explicit TempDir(const std::filesystem::path& parent);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of the folder itself, as a string.
    std::string text() const { return pathText(path_); }
    // The path of `relative` inside the folder, as a string ("/" in
    // `relative` is the system's separator).
    std::string at(std::string_view relative) const;
    // Writes `bytes` to `relative`, creating the folders on the way; returns
    // the file's path.
    std::string write(std::string_view relative, std::string_view bytes) const;
    // Creates the folder `relative` and those on the way; returns its path.
    std::string mkdir(std::string_view relative) const;

private:
    std::filesystem::path path_;
};

// The whole content of a file, as bytes.
std::string readFile(const std::string& path);

// Makes the file `path` of `size` bytes that holds each piece's bytes at its
// offset and zeros elsewhere, leaving the zeros unwritten (sparse) where the
// file system can. True when it could and the file takes at most 1 MiB on
// disk.
struct FilePiece {
    std::uint64_t offset;
    std::string_view bytes;
};
bool makeSparseFile(const std::string& path, std::uint64_t size,
                    std::initializer_list<FilePiece> pieces);

// Files that no one can open for reading while the object lives, so that a
// count meets a file it cannot read: on POSIX a link that leads nowhere, on
// Windows a file held open without sharing, as another program that locks it
// would.
class UnreadableFiles {
public:
    UnreadableFiles() = default;
    ~UnreadableFiles();
    UnreadableFiles(const UnreadableFiles&) = delete;
    UnreadableFiles& operator=(const UnreadableFiles&) = delete;

    // Makes the file `path` (empty on Windows) and makes it unreadable;
    // throws when it cannot.
    void add(const std::string& path);

private:
    std::vector<void*> handles_;   // Windows: the open handles
};

// The error number that opening such a file gives: ENOENT on POSIX, on
// Windows that of a sharing violation.
int unreadableError();

// The peak memory of the test process so far, in KiB.
long peakMemoryKiB();

// How the `stepcount` program is run by a test.
struct ProgramRun {
    std::vector<std::string> arguments;
    std::string cwd = "/";
#if !defined(_WIN32)
    // When set and the test runs as root: the user and group the program runs
    // as (root's rights would read anything).
    bool asNobody = false;
    // When set: the largest file the program may write (RLIMIT_FSIZE), as if
    // the file system filled up there.
    long long fileSizeLimit = -1;
#endif
};

// What the program did: its exit status (128 + the signal when a signal ended
// it; on Windows the exit code), what it printed and its peak memory as seen
// while it ran (read every few milliseconds).
struct Ran {
    int status = -1;
    std::string out;
    std::string err;
    long maxRssKiB = 0;
    bool timedOut = false;   // killed after the time wait() allowed it
};

// The program started with stdin empty and stdout and stderr caught in files
// (so neither is a terminal), in the time zone UTC (on Windows the system's,
// see useUtc). On POSIX it is forked and executed; on Windows it is the
// stepcount.exe beside the test program, started by CreateProcessW with the
// test process's environment.
class StartedProgram {
public:
    explicit StartedProgram(const ProgramRun& run);
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;
#if !defined(_WIN32)
    pid_t pid() const { return pid_; }
#endif
    // Waits for the program to end; after `timeoutSeconds` (when positive)
    // kills it and says so in Ran::timedOut.
    Ran wait(int timeoutSeconds = 0);

private:
    TempDir io_;
#if defined(_WIN32)
    void* process_ = nullptr;   // its HANDLE
#else
    pid_t pid_ = -1;
#endif
};

// Runs the program and waits for it.
Ran runStepcount(const ProgramRun& run);
inline Ran runStepcount(const std::vector<std::string>& arguments, const std::string& cwd) {
    return runStepcount(ProgramRun{arguments, cwd});
}

#if !defined(_WIN32)
// The user and group a test's program runs as with ProgramRun::asNobody.
inline constexpr uid_t kNobody = 65534;

// When the tests run as root: why the user kNobody cannot run the program
// here, or nothing when it can. That user runs a copy of the program in a
// folder open to all, so wherever the tree is, it can unless the system's
// temporary folder is closed to it.
std::string whyNobodyCannotRun();
#else
// Makes `link` a junction (a folder's link of Windows) to the folder
// `target`: empty when made, otherwise why not (Wine 8 makes none).
std::string makeJunction(const std::string& link, const std::string& target);

// Whether the tests run under Wine rather than Windows itself.
bool underWine();
#endif

// The verdicts of a language's line rules for `lines`, taken as one file of
// kind `fileKind` from its first line on.
template <class Rules>
std::vector<LineVerdict> verdictsOf(Rules rules, const std::vector<std::string>& lines,
                                    int fileKind = 0) {
    rules.start(fileKind);
    std::vector<LineVerdict> verdicts;
    for (const std::string& line : lines) verdicts.push_back(rules.classify(line));
    return verdicts;
}

// The same, the classes only.
template <class Rules>
std::vector<LineClass> classesOf(Rules rules, const std::vector<std::string>& lines,
                                 int fileKind = 0) {
    std::vector<LineClass> classes;
    for (const LineVerdict& verdict : verdictsOf(std::move(rules), lines, fileKind)) {
        classes.push_back(verdict.lineClass);
    }
    return classes;
}

// Lines of one file and the classes their rules give them.
struct LinesCase {
    const char* what;
    std::vector<std::string> lines;
    std::vector<LineClass> classes;
    int fileKind = 0;
};

// Checks each case, every case a file of its own under a copy of `rules`.
template <class Rules>
void expectClasses(const Rules& rules, std::span<const LinesCase> cases) {
    for (const LinesCase& c : cases) {
        EXPECT_EQ(classesOf(rules, c.lines, c.fileKind), c.classes) << c.what;
    }
}

// A record's counts in the order of its fields, a VB record's file kind
// first, and its comment ratio last. Ratios are expected exactly: divided
// first, then multiplied by 100 (2/3 gives 66.66666666666666, where 200/3
// would give 66.66666666666667).
using Counts = std::vector<double>;
Counts countsOf(const CountResult& r);
Counts countsOf(const VBCountResult& r);
Counts countsOf(const COBOLCountResult& r);

// Counts the files given by their bytes one after another with one counter,
// each under the name `name`; expects each to be counted without a dialog,
// with the given counts (as countsOf lists them).
template <class Counter>
void expectFileCounts(const char* name, const std::vector<std::pair<std::string, Counts>>& files) {
    TempDir dir;
    RecordingDisplay display;
    Counter counter(display);
    for (const auto& [bytes, counts] : files) {
        std::decay_t<decltype(counter.record())> r{};
        ASSERT_EQ(counter.fiCalcFile(dir.write(name, bytes), r), 0);
        EXPECT_EQ(countsOf(r), counts) << ::testing::PrintToString(bytes.substr(0, 40));
    }
    EXPECT_TRUE(display.messages.empty());
}

}  // namespace stepcount::testing

namespace stepcount {

// Readable names in test failure messages.
void PrintTo(LineClass lineClass, std::ostream* out);
void PrintTo(Division division, std::ostream* out);
void PrintTo(const LineVerdict& verdict, std::ostream* out);

}  // namespace stepcount
