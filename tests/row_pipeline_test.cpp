// The row pipeline: whatever the number of counting threads and however long
// each file takes, the observer sees the rows in the order they were added,
// from the adding thread alone, and each counter dialog where one thread
// alone would have shown it.
#include <chrono>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "walk/row_pipeline.h"

namespace stepcount {
namespace {

// Counts a file named "f<n>" as n code lines after a pause that depends on
// n, so that later files often finish first; a file named "fail<n>" shows a
// dialog and is not counted.
class FakeCounters : public CounterSet {
public:
    explicit FakeCounters(MessageDisplay& display) : display_(display) {}
    CountedFile count(const FileLocation& file) override {
        const std::size_t slash = lastSeparator(file.path);
        const std::string name = file.path.substr(slash + 1);
        EXPECT_EQ(name, file.name);
        const bool fails = name.starts_with("fail");
        const unsigned n = static_cast<unsigned>(std::stoul(name.substr(fails ? 4 : 1)));
        std::this_thread::sleep_for(std::chrono::microseconds((n * 7919) % 300));
        CountedFile counted;
        if (fails) {
            display_.showMessage("cannot read " + name);
            return counted;
        }
        counted.language = LanguageId::VC;
        counted.count = CountResult{n, 0, 0, n, n, 0.0};
        return counted;
    }

private:
    MessageDisplay& display_;
};

class FakeCounting : public FileCounting {
public:
    std::unique_ptr<CounterSet> newCounterSet(MessageDisplay& display) override {
        return std::make_unique<FakeCounters>(display);
    }
};

// Records every observer call and dialog in one list, with the threads of
// the observer calls.
class Recorder : public WalkObserver, public MessageDisplay {
public:
    void onFolder(std::string_view folder, std::string_view name) override {
        record(std::string(folder) + " folder " + std::string(name));
    }
    void onFile(const WalkedFile& file) override {
        std::string call = std::string(file.folder) + " file " + std::string(file.name);
        if (isCounted(file.count)) call += " " + std::to_string(std::get<CountResult>(file.count).ulRealSteps);
        record(call);
    }
    void onFolderFailure(std::string_view path, int errorNumber) override {
        record(std::string(path) + " failure " + std::to_string(errorNumber));
    }
    void showMessage(std::string_view text) override { calls.push_back("dialog " + std::string(text)); }
    void showMessageBox(std::string_view, std::string_view, MessageKind) override {}

    std::vector<std::string> calls;
    std::set<std::thread::id> threads;

private:
    void record(std::string call) {
        threads.insert(std::this_thread::get_id());
        calls.push_back(std::move(call));
    }
};

// `prefix` followed by the number (built by appending: g++ 12 warns
// wrongly about a literal plus std::to_string).
std::string numbered(std::string prefix, unsigned n) { return prefix.append(std::to_string(n)); }

Row entry(const FolderRef& folder, std::string name, Row::Kind kind, Row::State state) {
    Row row;
    row.kind = kind;
    row.state = state;
    row.folder = folder;
    row.name = std::move(name);
    return row;
}

// Adds the rows of a made-up walk: 2,000 files in folders two levels deep,
// every 97th failing with a dialog, a folder row before each folder's files,
// and a failure row now and then.
std::vector<std::string> addRows(RowPipeline& rows) {
    std::vector<std::string> expected;
    const FolderRef root = FolderNode::root("/r");
    FolderRef folder = root;
    for (unsigned n = 0; n < 2000; ++n) {
        if (n % 50 == 0) {
            const std::string name = numbered("d", n / 50);
            rows.add(entry(root, name, Row::Kind::Folder, Row::State::Done));
            expected.push_back("/r folder " + name);
            folder = FolderNode::child(root, name);
        }
        if (n % 333 == 0) {
            Row failure = entry(folder, "", Row::Kind::FolderFailure, Row::State::Done);
            failure.failure = 13;
            rows.add(std::move(failure));
            expected.push_back(folder->path() + " failure 13");
        }
        const bool fails = n % 97 == 5;
        const std::string name = numbered(fails ? "fail" : "f", n);
        rows.add(entry(folder, name, Row::Kind::File, Row::State::ToCount));
        if (fails) {
            expected.push_back("dialog cannot read " + name);
            expected.push_back(folder->path() + " file " + name);
        } else {
            expected.push_back(folder->path() + " file " + name + " " + std::to_string(n));
        }
    }
    return expected;
}

TEST(RowPipelineTest, RowsAndDialogsKeepTheirOrderForEveryNumberOfJobs) {
    for (const unsigned jobs : {1U, 2U, 3U, 8U}) {
        SCOPED_TRACE(jobs);
        FakeCounting counting;
        Recorder recorder;
        std::vector<std::string> expected;
        {
            RowPipeline rows(counting, recorder, recorder, jobs);
            expected = addRows(rows);
            rows.finish();
            EXPECT_EQ(rows.added(), rows.delivered());
        }
        EXPECT_EQ(recorder.calls, expected);
        EXPECT_EQ(recorder.threads, std::set<std::thread::id>{std::this_thread::get_id()});
    }
}

TEST(RowPipelineTest, DeliverUpToDeliversAtLeastThatManyRowsInOrder) {
    FakeCounting counting;
    Recorder recorder;
    RowPipeline rows(counting, recorder, recorder, 4);
    const FolderRef root = FolderNode::root("/r");
    for (unsigned n = 1; n <= 100; ++n) {
        rows.add(entry(root, numbered("f", n), Row::Kind::File, Row::State::ToCount));
    }
    rows.deliverUpTo(60);
    ASSERT_GE(rows.delivered(), 60u);
    ASSERT_GE(recorder.calls.size(), 60u);
    for (std::size_t i = 0; i < recorder.calls.size(); ++i) {
        const unsigned n = static_cast<unsigned>(i + 1);
        EXPECT_EQ(recorder.calls[i], numbered("/r file f", n) + " " + std::to_string(n));
    }
    rows.finish();
    EXPECT_EQ(recorder.calls.size(), 100u);
}

// An observer that fails ends the walk: the exception reaches the adding
// thread and the counting threads stop, also those waiting to show a dialog.
TEST(RowPipelineTest, AnObserverFailureStopsTheCountingThreads) {
    class FailingObserver : public WalkObserver {
    public:
        void onFile(const WalkedFile&) override {
            if (++files == 10) throw std::runtime_error("disk full");
        }
        int files = 0;
    };
    FakeCounting counting;
    FailingObserver observer;
    Recorder dialogs;
    const FolderRef root = FolderNode::root("/r");
    EXPECT_THROW(
        {
            RowPipeline rows(counting, observer, dialogs, 3);
            for (unsigned n = 0; n < 5000; ++n) {
                const std::string name = numbered(n % 3 == 0 ? "fail" : "f", n);
                rows.add(entry(root, name, Row::Kind::File, Row::State::ToCount));
            }
            rows.finish();
        },
        std::runtime_error);
    EXPECT_EQ(observer.files, 10);
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
