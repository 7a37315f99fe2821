// The row pipeline: rows and dialogs in the order they were added whatever
// the jobs and however long each file takes (also checked on real walks in
// folder_walk_test), partial delivery, and the paths of its rows' folders.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "support/test_support.h"
#include "platform/stop_request.h"
#include "walk/row_pipeline.h"

namespace stepcount {
namespace {

// Counts a file named "f<n>" as n code lines after a pause that depends on
// n, so that later files often finish first; a file named "fail<n>" shows a
// dialog and is not counted.
// The names of the files counted are logged, in the order they were counted
// in, when a log is given.
class FakeCounting : public FileCounting, public CounterSet {
public:
    struct Log {
        std::mutex mutex;
        std::vector<std::string> names;
    };
    explicit FakeCounting(MessageDisplay* display = nullptr, Log* log = nullptr)
        : display_(display), log_(log) {}
    std::unique_ptr<CounterSet> newCounterSet(MessageDisplay& display) override {
        return std::make_unique<FakeCounting>(&display, log_);
    }
    CountedFile count(const FileLocation& file) override {
        if (log_ != nullptr) {
            const std::lock_guard<std::mutex> lock(log_->mutex);
            log_->names.emplace_back(file.name);
        }
        const bool fails = file.name.starts_with("fail");
        const unsigned n = static_cast<unsigned>(std::stoul(std::string(file.name.substr(fails ? 4 : 1))));
        std::this_thread::sleep_for(std::chrono::microseconds((n * 7919) % 300));
        if (!fails) return CountedFile{LanguageId::VC, CountResult{n, 0, 0, n, n, 0.0}, {}};
        display_->showMessage("cannot read " + std::string(file.name));
        return CountedFile{};
    }

private:
    MessageDisplay* display_;
    Log* log_;
};

// Bytes that are never read: the fake counters go by the name alone.
class UnreadContents : public FileContents {
public:
    LoadedContents load(const std::string&, FileFacts&) const override { return {}; }
};

// Built by appending: g++ 12 warns wrongly about a literal + std::to_string.
std::string numbered(std::string prefix, unsigned n) { return prefix.append(std::to_string(n)); }

Row fileToCount(const FolderRef& folder, std::string name) {
    Row row;
    row.kind = Row::Kind::File;
    row.state = Row::State::ToCount;
    row.folder = folder;
    row.name = std::move(name);
    return row;
}

TEST(RowPipelineTest, RowsAndDialogsKeepTheirOrderForEveryNumberOfJobs) {
    for (const unsigned jobs : {1U, 2U, 3U, 8U}) {
        SCOPED_TRACE(jobs);
        FakeCounting counting;
        testing::CallLog recorder;
        std::vector<std::string> expected;
        {
            RowPipeline rows(counting, recorder, recorder, jobs);
            const FolderRef root = FolderNode::root("/r");
            FolderRef folder = root;
            for (unsigned n = 0; n < 2000; ++n) {
                if (n % 50 == 0) {   // a folder row before each folder's files
                    Row row = fileToCount(root, numbered("d", n / 50));
                    row.kind = Row::Kind::Folder;
                    row.state = Row::State::Done;
                    expected.push_back("/r | " + row.name + "/");
                    folder = FolderNode::child(root, row.name);
                    rows.add(std::move(row));
                }
                const bool fails = n % 97 == 5;
                const std::string name = numbered(fails ? "fail" : "f", n);
                rows.add(fileToCount(folder, name));
                if (fails) expected.push_back("dialog: cannot read " + name);
                expected.push_back(folder->path() + " | " + name + (fails ? "" : " " + std::to_string(n)));
            }
            rows.finish();
            EXPECT_EQ(rows.added(), rows.delivered());
        }
        EXPECT_EQ(recorder.calls, expected);
        EXPECT_EQ(recorder.threads, std::set<std::thread::id>{std::this_thread::get_id()});
    }
}

TEST(RowPipelineTest, DeliverUpToDeliversAtLeastThatManyRowsInOrder) {
    FakeCounting counting;
    testing::CallLog recorder;
    RowPipeline rows(counting, recorder, recorder, 4);
    const FolderRef root = FolderNode::root("/r");
    for (unsigned n = 1; n <= 100; ++n) rows.add(fileToCount(root, numbered("f", n)));
    rows.deliverUpTo(60);
    ASSERT_GE(rows.delivered(), 60u);
    ASSERT_GE(recorder.calls.size(), 60u);
    for (unsigned n = 1; n <= recorder.calls.size(); ++n) {
        EXPECT_EQ(recorder.calls[n - 1], numbered("/r | f", n) + " " + std::to_string(n));
    }
    rows.finish();
    EXPECT_EQ(recorder.calls.size(), 100u);
}

// Rows counted by fake counters that log the names they count.
struct LoggedPipeline {
    explicit LoggedPipeline(unsigned jobs) : rows(counting, recorder, recorder, jobs) {}
    FakeCounting::Log log;
    FakeCounting counting{nullptr, &log};
    testing::CallLog recorder;
    RowPipeline rows;
    const FolderRef root = FolderNode::root("/r");
};

// Files counted ahead of their rows: each once, in their reading order
// with one job; a counter's failure is not shown but told, for the file's
// row to count it again in its turn; the contents are let go once counted.
TEST(RowPipelineTest, FilesCountedAheadEachOnceInTheirReadingOrder) {
    constexpr unsigned kFiles = 500;
    for (const unsigned jobs : {1U, 3U}) {
        SCOPED_TRACE(jobs);
        LoggedPipeline pipeline(jobs);
        auto& [log, counting, recorder, rows, root] = pipeline;
        std::deque<AheadFile> files;
        std::vector<std::string> inReadingOrder(kFiles);
        for (unsigned n = 0; n < kFiles; ++n) {
            AheadFile& file = files.emplace_back();
            file.folder = root;
            file.name = numbered(n % 97 == 5 ? "fail" : "f", n);
            file.contents = std::make_shared<UnreadContents>();
            file.readingOrder = (n * 7919) % kFiles;   // every place once
            inReadingOrder[file.readingOrder] = file.name;
            rows.offerAhead(file);
        }
        rows.countOfferedAhead();

        for (unsigned n = 0; n < kFiles; ++n) {
            const AheadFile& file = files[n];
            SCOPED_TRACE(file.name);
            EXPECT_EQ(file.told, n % 97 == 5);
            EXPECT_EQ(isCounted(file.file.count), !file.told);
            if (!file.told) {
                EXPECT_EQ(std::get<CountResult>(file.file.count).ulRealSteps, n);
            }
            EXPECT_EQ(file.contents, nullptr);
        }
        EXPECT_TRUE(recorder.calls.empty());   // no dialog, no row
        if (jobs == 1) {
            EXPECT_EQ(log.names, inReadingOrder);
        } else {
            std::sort(log.names.begin(), log.names.end());
            std::sort(inReadingOrder.begin(), inReadingOrder.end());
            EXPECT_EQ(log.names, inReadingOrder);
        }
    }
}

// The rows in flight are delivered before files are counted ahead, and
// those added after are counted and delivered in their turn as ever.
TEST(RowPipelineTest, RowsBeforeAndAfterFilesCountedAhead) {
    for (const unsigned jobs : {1U, 2U}) {
        SCOPED_TRACE(jobs);
        LoggedPipeline pipeline(jobs);
        auto& [log, counting, recorder, rows, root] = pipeline;
        for (unsigned n = 0; n < 40; ++n) rows.add(fileToCount(root, numbered("f", n)));
        std::deque<AheadFile> files(1);
        files[0].folder = root;
        files[0].name = "f100";
        rows.offerAhead(files[0]);
        EXPECT_EQ(rows.delivered(), 40u);
        rows.countOfferedAhead();
        EXPECT_EQ(std::get<CountResult>(files[0].file.count).ulRealSteps, 100u);
        rows.add(fileToCount(root, "fail7"));
        rows.add(fileToCount(root, "f41"));
        rows.finish();
        ASSERT_EQ(recorder.calls.size(), 43u);
        EXPECT_EQ(recorder.calls[39], "/r | f39 39");
        EXPECT_EQ(recorder.calls[40], "dialog: cannot read fail7");
        EXPECT_EQ(recorder.calls[42], "/r | f41 41");
    }
}

// A stop asked for ends the counting ahead before the next file.
TEST(RowPipelineTest, CountingAheadEndsWhenAStopIsAskedFor) {
    for (const unsigned jobs : {1U, 3U}) {
        SCOPED_TRACE(jobs);
        LoggedPipeline pipeline(jobs);
        auto& [log, counting, recorder, rows, root] = pipeline;
        std::deque<AheadFile> files(100);
        for (unsigned n = 0; n < files.size(); ++n) {
            files[n].folder = root;
            files[n].name = numbered("f", n);
            rows.offerAhead(files[n]);
        }
        requestStop(1);
        rows.countOfferedAhead();
        clearStopRequest();
        EXPECT_TRUE(log.names.empty());
        EXPECT_TRUE(std::none_of(files.begin(), files.end(),
                                 [](const AheadFile& file) { return isCounted(file.file.count); }));
    }
}

// Tasks run alongside the walk on every thread: each once, round after
// round, after the rows in flight are delivered.
TEST(RowPipelineTest, TasksRunAlongsideTheWalkEachOnce) {
    for (const unsigned jobs : {1U, 2U, 4U}) {
        SCOPED_TRACE(jobs);
        LoggedPipeline pipeline(jobs);
        auto& [log, counting, recorder, rows, root] = pipeline;
        for (unsigned n = 0; n < 20; ++n) rows.add(fileToCount(root, numbered("f", n)));
        std::vector<std::atomic<int>> runs(1000);
        for (int round = 1; round <= 3; ++round) {
            rows.runAlongside(runs.size() - 10 * static_cast<std::size_t>(round),
                              [&](std::size_t i) { ++runs[i]; });
            EXPECT_EQ(rows.delivered(), 20u);
        }
        for (std::size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i].load(), i < 970 ? 3 : i < 980 ? 2 : i < 990 ? 1 : 0) << i;
        }
    }
}

// The paths of folders come from their names and parents, also for a
// folder that was created where an earlier one stood.
TEST(FolderPathsTest, PathsOfFoldersInAnyOrder) {
    const FolderRef root = FolderNode::root("/top/");
    const FolderRef a = FolderNode::child(root, "a");
    const FolderRef ab = FolderNode::child(a, "b");
    const std::string top = std::string("/top/") + kPathSeparator;   // "/top//" on POSIX
    const std::string aPath = top + "a";
    const std::string abPath = aPath + kPathSeparator + "b";
    FolderPaths paths;
    EXPECT_EQ(paths.pathOf(*ab), abPath);
    EXPECT_EQ(paths.pathOf(*root), "/top/");
    EXPECT_EQ(paths.pathOf(*ab), abPath);
    const FolderRef c = FolderNode::child(root, "c");
    EXPECT_EQ(paths.pathOf(*c), top + "c");
    EXPECT_EQ(paths.pathOf(*a), aPath);
    for (unsigned round = 0; round < 50; ++round) {
        // Released and made again: the same address may come back for
        // another folder at the same depth.
        const FolderRef x = FolderNode::child(a, numbered("x", round));
        EXPECT_EQ(paths.pathOf(*x), numbered(aPath + kPathSeparator + "x", round));
    }
    EXPECT_EQ(ab->path(), abPath);
    EXPECT_EQ(ab->pathLength(), abPath.size());
}

// Releasing the last owner of a chain far deeper than the stack could hold
// by recursion.
TEST(FolderPathsTest, ADeepChainIsReleasedWithoutRecursion) {
    FolderRef folder = FolderNode::root("/");
    for (int level = 0; level < 1000000; ++level) folder = FolderNode::child(folder, "d");
    EXPECT_EQ(folder->depth(), 1000000u);
    folder.reset();
}

}  // namespace
}  // namespace stepcount
