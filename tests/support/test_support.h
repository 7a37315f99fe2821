// Helpers shared by the tests. Paths are std::string as the program takes
// them: the file system's bytes on POSIX, UTF-8 on Windows.
#pragma once

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/types.h>
#endif

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <thread>
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

// Records what a run shows: the counters' dialogs in `messages`, everything
// in order in `events` ("busy shown", "busy hidden", "dialog: <text>",
// "info: <text>", "failure: <text>"), the message boxes' captions in
// `captions`.
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

    std::vector<std::string> messages, events, captions;
};
using RecordingDisplay = RecordingFrontEnd;

// A front end that also logs, in `calls`, what a walk hands its observers,
// with the counters' dialogs among them: "<folder> | <name>/" for a folder,
// "<folder> | <name>" for a file, then " <real steps>" when it was counted,
// "<path> failed <error number>" for a folder that could not be listed,
// "dialog: <text>"; with the threads of the observer calls. `afterFile`,
// when set, is called after each file is logged.
class CallLog : public RecordingFrontEnd, public WalkObserver {
public:
    void showMessage(std::string_view text) override;
    void onFolder(std::string_view folder, std::string_view name) override;
    void onFile(const WalkedFile& file) override;
    void onFolderFailure(std::string_view path, int errorNumber) override;

    std::vector<std::string> calls;
    std::set<std::thread::id> threads;
    std::function<void(const WalkedFile&)> afterFile;
};

// The LanguageCode of a language counted alone.
constexpr int codeOf(LanguageId language) { return static_cast<int>(language); }

// Runs the count of `languageCode` (or the count command, its checks first)
// into the result file of `settings`, then the `extra` observers.
RunOutcome runLanguageCount(const CountSettings& settings, int languageCode, RunFrontEnd& frontEnd,
                            const std::vector<WalkObserver*>& extra = {});
RunOutcome runCommand(const CountSettings& settings, RunFrontEnd& frontEnd,
                      const std::vector<WalkObserver*>& extra = {});

// A path as the program takes it, for std::filesystem and back.
std::filesystem::path fsPath(std::string_view path);
std::string pathText(const std::filesystem::path& path);

// For deep trees and huge sparse files: /dev/shm when it may be written,
// else the system's temporary folder.
std::filesystem::path memoryTempFolder();

// Dates in the test process's own runs in UTC, as the expected rows have
// them: TZ=UTC on POSIX; on Windows a failure when the system's zone is not
// UTC (Wine's is the TZ it was started with).
void useUtc();

// A fresh folder (in the system's temporary folder or in `parent`), removed
// with its content when the object goes.
class TempDir {
public:
    TempDir();
    explicit TempDir(const std::filesystem::path& parent);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string text() const { return pathText(path_); }
    // The path of `relative` ("/" is the system's separator) inside it.
    std::string at(std::string_view relative) const;
    // Writes the file, or makes the folder, with the folders on the way;
    // returns its path.
    std::string write(std::string_view relative, std::string_view bytes) const;
    std::string mkdir(std::string_view relative) const;

private:
    std::filesystem::path path_;
};

// Settings that count the folder t in `dir` into the file `resultName` in
// `dir`, their message caption "the caption".
CountSettings countSettings(const TempDir& dir, const std::string& resultName = "r.csv");

std::string readFile(const std::string& path);

// Makes the file `path` of `size` bytes holding each piece at its offset
// and zeros elsewhere, left unwritten (sparse). True when the file takes at
// most 1 MiB on disk.
struct FilePiece {
    std::uint64_t offset;
    std::string_view bytes;
};
bool makeSparseFile(const std::string& path, std::uint64_t size,
                    std::initializer_list<FilePiece> pieces);

// Files that no one can open for reading while the object lives: on POSIX
// a link that leads nowhere, on Windows a file held open without sharing,
// as another program that locks it would. add() throws when it cannot;
// unreadableError() is the error of opening one.
class UnreadableFiles {
public:
    UnreadableFiles() = default;
    ~UnreadableFiles();
    UnreadableFiles(const UnreadableFiles&) = delete;
    UnreadableFiles& operator=(const UnreadableFiles&) = delete;
    void add(const std::string& path);

private:
    std::vector<void*> handles_;   // Windows: the open handles
};
int unreadableError();

// The peak memory of the test process so far, in KiB.
long peakMemoryKiB();

// How a test runs the `stepcount` program.
struct ProgramRun {
    std::vector<std::string> arguments;
    std::string cwd = "/";
#if !defined(_WIN32)
    // When the test runs as root: run as the user nobody (root reads
    // anything).
    bool asNobody = false;
    // When set: the largest file it may write (RLIMIT_FSIZE), as if the file
    // system filled up there.
    long long fileSizeLimit = -1;
#endif
};

// What the program did: its exit status (128 + the signal that ended it),
// what it printed and its peak memory, read while it ran.
struct Ran {
    int status = -1;
    std::string out, err;
    long maxRssKiB = 0;
    bool timedOut = false;   // killed after the time wait() allowed it
};

// The program started with stdin empty and stdout and stderr in files (not
// terminals), in UTC (see useUtc): forked and executed on POSIX; on Windows
// the stepcount.exe beside the test program.
class StartedProgram {
public:
    explicit StartedProgram(const ProgramRun& run);
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;
#if !defined(_WIN32)
    pid_t pid() const { return pid_; }
    // Whether the program has the file `path` open, waiting up to a minute
    // for it (read from /proc: Linux only).
    bool waitUntilOpen(const std::string& path) const;
#endif
    // Waits for the end; after `timeoutSeconds` (when positive) kills it.
    Ran wait(int timeoutSeconds = 0);

private:
    TempDir io_;
#if defined(_WIN32)
    void* process_ = nullptr;   // its HANDLE
#else
    pid_t pid_ = -1;
#endif
};

Ran runStepcount(const ProgramRun& run);
inline Ran runStepcount(const std::vector<std::string>& arguments, const std::string& cwd) {
    return runStepcount(ProgramRun{arguments, cwd});
}

#if !defined(_WIN32)
// When the tests run as root: why the user nobody cannot run the program
// here (it runs a copy in a folder open to all), or nothing when it can.
std::string whyNobodyCannotRun();
#else
// Makes `link` a junction to the folder `target`: empty when made,
// otherwise why not (Wine 8 makes none).
std::string makeJunction(const std::string& link, const std::string& target);
bool underWine();
#endif

// The verdicts of a language's line rules for `lines`, one file of kind
// `fileKind` from its first line on.
template <class Rules>
std::vector<LineVerdict> verdictsOf(Rules rules, const std::vector<std::string>& lines,
                                    int fileKind = 0) {
    rules.start(fileKind);
    std::vector<LineVerdict> verdicts;
    for (const std::string& line : lines) verdicts.push_back(rules.classify(line));
    return verdicts;
}

struct LinesCase {   // lines of one file and the classes their rules give them
    const char* what;
    std::vector<std::string> lines;
    std::vector<LineClass> classes;
    int fileKind = 0;
};

// Checks each case, each a file of its own under a copy of `rules`.
template <class Rules>
void expectClasses(const Rules& rules, std::span<const LinesCase> cases) {
    for (const LinesCase& c : cases) {
        std::vector<LineClass> classes;
        for (const LineVerdict& v : verdictsOf(rules, c.lines, c.fileKind)) {
            classes.push_back(v.lineClass);
        }
        EXPECT_EQ(classes, c.classes) << c.what;
    }
}

// A record's counts in the order of its fields, a VB record's file kind
// first, its comment ratio last. Ratios are expected exactly: divided first,
// then multiplied by 100 (2/3 gives 66.66666666666666, 200/3 would give
// 66.66666666666667).
using Counts = std::vector<double>;
Counts countsOf(const CountResult& r);
Counts countsOf(const VBCountResult& r);
Counts countsOf(const COBOLCountResult& r);

// Counts each file, given by its bytes, under the name `name` with one
// counter: each without a dialog and with the given counts.
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
