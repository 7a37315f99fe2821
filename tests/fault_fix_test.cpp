// Faults found in review, each fixed: a stop that outlived its run, a file
// location that kept a reference to a temporary path, a line-comment marker that could be shorter than the rules read, error texts
// shared between threads, and outputs left open when another could not
// start.
#include <cerrno>
#include <thread>
#include <type_traits>

#include "counters/c_family_rules.h"
#include "counters/counters.h"
#include "platform/exception.h"
#include "platform/stop_request.h"
#include "support/result_rows.h"
#include "support/test_support.h"

#if defined(_WIN32)
#include "platform/system_windows.h"
#endif

namespace stepcount {
namespace {

using namespace testing::rows;

TEST(FaultFixTest, AStopEndsTheRunItInterruptsAndNothingAfterIt) {
    testing::useUtc();
    testing::TempDir dir;
    for (const char* name : {"a.c", "b.c", "c.c"}) setModified(dir.write(std::string("t/") + name, kOneLine));
    CountSettings settings = testing::countSettings(dir);
    settings.VCSelected = true;
    settings.Jobs = 1;
    testing::CallLog frontEnd;
    frontEnd.afterFile = [](const WalkedFile&) { requestStop(99); };
    EXPECT_EQ(testing::runCommand(settings, frontEnd, {&frontEnd}), RunOutcome::Stopped);
    EXPECT_EQ(stopRequested(), 0);
    // The next run of the same process counts the whole tree.
    EXPECT_EQ(testing::runCommand(settings, frontEnd), RunOutcome::Completed);
    const std::string root = dir.at("t");
    EXPECT_EQ(testing::readFile(dir.at("r.csv")),
              kStandardHeader + oneLineRow(root, "a.c") + kStandardHeader + oneLineRow(root, "a.c") +
                  oneLineRow(root, "b.c") + oneLineRow(root, "c.c"));
}

// The location made from a temporary string is read after the string is
// gone (the sanitizer build catches a reference to it).
TEST(FaultFixTest, AFileLocationMadeFromATemporaryPathKeepsThePath) {
    testing::TempDir dir;
    const FileLocation location = FileLocation(std::string(dir.write("a.c", "int a;\n// b\n")));
    testing::RecordingDisplay display;
    mVCCalc_c counter(display);
    CountResult result{};
    ASSERT_EQ(counter.fiCalcFile(location, result), kCounted);
    EXPECT_EQ(result.ulRealSteps, 1u);
    EXPECT_EQ(result.ulCommentLines, 1u);
}

// A marker of another length than two bytes does not compile.
static_assert(std::is_constructible_v<CFamilyLineRules, LineCommentMarker>);
static_assert(!std::is_constructible_v<CFamilyLineRules, const char (&)[2]>);
static_assert(!std::is_constructible_v<CFamilyLineRules, const char (&)[4]>);
static_assert(!std::is_constructible_v<CFamilyLineRules, std::string_view>);

TEST(FaultFixTest, ErrorTextsAreRightOnManyThreadsAtOnce) {
#if defined(_WIN32)
    // Two of Windows' own codes, whose texts come from the system.
    const int others[] = {windows::errorNumber(ERROR_SHARING_VIOLATION),
                          windows::errorNumber(ERROR_LOCK_VIOLATION)};
#else
    const int others[] = {4000, 4001};   // numbers that the C library has no name for
#endif
    const std::vector<int> errors = {ENOENT, EACCES, EISDIR, ENOSPC, EIO, others[0], others[1]};
    std::vector<std::string> expected;
    for (const int error : errors) expected.push_back(systemErrorText(error));
    EXPECT_EQ(expected[0], "No such file or directory");
    EXPECT_NE(expected[5], expected[6]);
    std::vector<int> wrong(8, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < wrong.size(); ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t i = t; i < t + 2000; ++i) {
                wrong[t] += systemErrorText(errors[i % 7]) != expected[i % 7];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, std::vector<int>(8, 0));
}

// An output that cannot start ends the run before anything is read: those
// started before it are told the run failed, so that they close what they
// opened; those after it are not started; the failure box has the caption.
TEST(FaultFixTest, OutputsStartedBeforeOneThatCannotStartAreEnded) {
    // Records its calls; the one named "second" cannot start.
    struct Output : WalkObserver {
        Output(std::vector<std::string>& log, std::string id) : calls(log), name(std::move(id)) {}
        void onRunStart(const RunStart&) override {
            calls.push_back(name + " start");
            if (name == "second") throw OutputOpenError("cannot open " + name);
        }
        void onFolder(std::string_view, std::string_view) override { calls.push_back(name + " row"); }
        void onRunEnd(RunEnd how) override {
            calls.push_back(name + (how == RunEnd::Failed ? " failed" : " end"));
        }
        std::vector<std::string>& calls;
        std::string name;
    };
    testing::TempDir dir;
    dir.mkdir("t/sub");
    std::vector<std::string> calls;
    Output first(calls, "first"), second(calls, "second"), third(calls, "third");
    testing::RecordingFrontEnd frontEnd;
    EXPECT_EQ(runLanguageCode(testing::countSettings(dir), 2, frontEnd, {&first, &second, &third}),
              RunOutcome::OpenFailed);
    EXPECT_EQ(calls, (std::vector<std::string>{"first start", "second start", "first failed"}));
    EXPECT_EQ(frontEnd.events, std::vector<std::string>{"failure: 計数結果保存ファイルオープン失敗。"});
    EXPECT_EQ(frontEnd.captions, std::vector<std::string>{"the caption"});
}

}  // namespace
}  // namespace stepcount
