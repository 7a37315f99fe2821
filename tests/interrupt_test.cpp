// Ctrl-C (SIGINT) and SIGTERM during a command-line run: the run ends
// without finishing the file it is reading, says so, exits with 128 + the
// signal, and leaves the rows written before the stop, each whole.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ostream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/result_rows.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using namespace testing::rows;
using testing::ProgramRun;
using testing::Ran;
using testing::readFile;
using testing::StartedProgram;
using testing::TempDir;

// Whether process `pid` has the file `path` open, waiting up to a minute
// for it; false at once when the process has ended.
bool waitUntilOpen(pid_t pid, const std::string& path) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < deadline) {
        DIR* dir = ::opendir(fds.c_str());
        if (dir == nullptr) return false;
        bool open = false;
        while (const dirent* entry = ::readdir(dir)) {
            char target[4096];
            const std::string link = fds + '/' + entry->d_name;
            const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
            if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == path) open = true;
        }
        ::closedir(dir);
        if (open) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

struct StopCase {
    int signalNumber;
    const char* name;
    const char* jobs;
};

void PrintTo(const StopCase& c, std::ostream* out) { *out << c.name << " with " << c.jobs << " jobs"; }

class InterruptTest : public ::testing::TestWithParam<StopCase> {};

// Thousands of small files, enough rows to have been written out in part
// before the stop, then a sparse file of 1 TiB that would take many minutes
// to read, then a dangling link whose error message a second counting thread
// waits to show until the big file's row is written (which never comes), and
// one more file.
TEST_P(InterruptTest, SignalEndsTheRunPromptlyWithTheRowsWrittenSoFarWhole) {
    const StopCase& c = GetParam();
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    TempDir dir(testing::memoryTempFolder());   // thousands of files: quicker in memory
    const std::string root = dir.mkdir("t");
    std::string rows = kStandardHeader;
    for (int i = 0; i < 4000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "a%04d.c", i);
        setModified(dir.write("t/" + std::string(name), kOneLine));
        rows += oneLineRow(root, name);
    }
    ASSERT_GT(rows.size(), std::size_t{256 * 1024});
    const std::string huge = dir.at("t/m.c");
    const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT, 0600);
    const bool sparse = ::ftruncate(fd, off_t{1} << 40) == 0;
    ::close(fd);
    if (!sparse) GTEST_SKIP() << "no sparse file of 1 TiB here";
    ASSERT_EQ(::symlink("nowhere.c", dir.at("t/n.c").c_str()), 0);
    dir.write("t/z.c", kOneLine);
    const std::string result = dir.at("r.csv");

    StartedProgram program(ProgramRun{{"-q", "-l", "c", "-j", c.jobs, "-o", result, root}});
    ASSERT_TRUE(waitUntilOpen(program.pid(), huge));
    // Time for the other counting thread to meet the link.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(::kill(program.pid(), c.signalNumber), 0);
    const Ran ran = program.wait(60);

    ASSERT_FALSE(ran.timedOut) << "the run did not stop";
    EXPECT_EQ(ran.status, 128 + c.signalNumber);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, "stepcount: stopped by " + std::string(c.name) +
                           "; the result file holds the rows written before the stop: " + result + "\n");
    const std::string written = readFile(result);
    if (std::string(c.jobs) == "1") {
        // Counted on the walking thread: every row before the big file.
        EXPECT_TRUE(written == rows) << written.size() << " bytes instead of " << rows.size();
    } else {
        // Counting threads run ahead of the rows: some rows before the big
        // file may not have been written yet, but those written are whole.
        ASSERT_GE(written.size(), kStandardHeader.size());
        EXPECT_TRUE(written == rows.substr(0, written.size()) && written.ends_with("\r\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptTest,
                         ::testing::Values(StopCase{SIGINT, "SIGINT", "1"}, StopCase{SIGTERM, "SIGTERM", "1"},
                                           StopCase{SIGINT, "SIGINT", "2"}),
                         [](const ::testing::TestParamInfo<StopCase>& param) {
                             return std::string(param.param.name) + "Jobs" + param.param.jobs;
                         });

}  // namespace
}  // namespace stepcount
