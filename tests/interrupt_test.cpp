// Ctrl-C (SIGINT) and SIGTERM during a command-line run: the run ends
// without finishing the file it is reading, says so, exits with 128 + the
// signal, and leaves the rows written before the stop, each whole.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>

#include "support/result_rows.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using namespace std::chrono_literals;

using namespace testing::rows;

// Thousands of small files, enough rows to have been written out in part
// before the stop, a sparse file of 1 TiB that would take many minutes to
// read, a dangling link whose message a second counting thread waits to show
// until the big file's row is written (which never comes), one more file.
TEST(InterruptTest, SignalEndsTheRunPromptlyWithTheRowsWrittenSoFarWhole) {
    testing::useUtc();
    const testing::TempDir dir(testing::memoryTempFolder());   // thousands of files
    const std::string root = dir.mkdir("t");
    std::string rows = kStandardHeader;
    for (int i = 1000; i < 5000; ++i) {
        const std::string name = std::to_string(i) + ".c";   // 1000.c ... 4999.c
        setModified(dir.write("t/" + name, kOneLine));
        rows += oneLineRow(root, name);
    }
    ASSERT_GT(rows.size(), std::size_t{256 * 1024});
    const std::string huge = dir.at("t/m.c");
    if (!testing::makeSparseFile(huge, std::uint64_t{1} << 40, {})) GTEST_SKIP() << "no sparse 1 TiB file";
    ASSERT_EQ(::symlink("nowhere.c", dir.at("t/n.c").c_str()), 0);
    dir.write("t/z.c", kOneLine);
    const std::string result = dir.at("r.csv");

    for (const auto& [signalNumber, name, jobs] : {std::tuple{SIGINT, "SIGINT", "1"},
                                                   std::tuple{SIGTERM, "SIGTERM", "1"},
                                                   std::tuple{SIGINT, "SIGINT", "2"}}) {
        SCOPED_TRACE(::testing::Message() << name << " with " << jobs << " jobs");
        std::filesystem::remove(result);
        testing::StartedProgram program({{"-q", "-l", "c", "-j", jobs, "-o", result, root}});
        ASSERT_TRUE(program.waitUntilOpen(huge));
        // Time for the other counting thread to meet the link.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_EQ(::kill(program.pid(), signalNumber), 0);
        const testing::Ran ran = program.wait(60);

        ASSERT_FALSE(ran.timedOut) << "the run did not stop";
        EXPECT_EQ(ran.status, 128 + signalNumber);
        EXPECT_EQ(ran.out, "");
        EXPECT_EQ(ran.err, "stepcount: stopped by " + std::string(name) +
                               "; the result file holds the rows written before the stop: " + result + "\n");
        const std::string written = testing::readFile(result);
        if (std::string(jobs) == "1") {
            // Counted on the walking thread: every row before the big file.
            EXPECT_TRUE(written == rows) << written.size() << " bytes instead of " << rows.size();
        } else {
            // Counting threads run ahead: rows before the big file may be
            // missing, but those written are whole.
            ASSERT_GE(written.size(), kStandardHeader.size());
            EXPECT_TRUE(written == rows.substr(0, written.size()) && written.ends_with("\r\n"));
        }
    }
}

}  // namespace
}  // namespace stepcount
