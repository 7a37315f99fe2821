// Helpers shared by the tests: a message display that records what it is
// asked to show, a temporary folder that removes itself, the verdicts of line
// rules for a list of lines, and the counts of counted files.
#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
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

// The folder for temporary files that are best kept in memory (deep trees,
// huge sparse files): /dev/shm when it may be written, else the system's
// temporary folder.
std::filesystem::path memoryTempFolder();

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
    // The path of `relative` inside the folder, as a string.
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

// How the `stepcount` program is run by a test.
struct ProgramRun {
    std::vector<std::string> arguments;
    std::string cwd = "/";
    // When set and the test runs as root: the user and group the program runs
    // as (root's rights would read anything).
    bool asNobody = false;
    // When set: the largest file the program may write (RLIMIT_FSIZE), as if
    // the file system filled up there.
    long long fileSizeLimit = -1;
};

// What the program did: its exit status (128 + the signal when a signal ended
// it), what it printed and its peak memory as seen while it ran (read every
// few milliseconds).
struct Ran {
    int status = -1;
    std::string out;
    std::string err;
    long maxRssKiB = 0;
    bool timedOut = false;   // killed after the time wait() allowed it
};

// The program started with stdin empty and stdout and stderr caught in files
// (so neither is a terminal), in the time zone UTC.
class StartedProgram {
public:
    explicit StartedProgram(const ProgramRun& run);
    ~StartedProgram();
    pid_t pid() const { return pid_; }
    // Waits for the program to end; after `timeoutSeconds` (when positive)
    // kills it and says so in Ran::timedOut.
    Ran wait(int timeoutSeconds = 0);

private:
    TempDir io_;
    pid_t pid_ = -1;
};

// Runs the program and waits for it.
Ran runStepcount(const ProgramRun& run);
inline Ran runStepcount(const std::vector<std::string>& arguments, const std::string& cwd) {
    return runStepcount(ProgramRun{arguments, cwd});
}

// The user and group a test's program runs as with ProgramRun::asNobody.
inline constexpr uid_t kNobody = 65534;

// When the tests run as root: why the user kNobody cannot run the program
// here, or nothing when it can. That user runs a copy of the program in a
// folder open to all, so wherever the tree is, it can unless the system's
// temporary folder is closed to it.
std::string whyNobodyCannotRun();

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
