// The row pipeline: rows and dialogs in the order they were added whatever
// the jobs and however long each file takes (also checked on real walks in
// folder_walk_test), partial delivery, and the paths of its rows' folders.
#include <chrono>
#include <set>
#include <thread>

#include "support/test_support.h"
#include "walk/row_pipeline.h"

namespace stepcount {
namespace {

// Counts a file named "f<n>" as n code lines after a pause that depends on
// n, so that later files often finish first; a file named "fail<n>" shows a
// dialog and is not counted.
class FakeCounting : public FileCounting, public CounterSet {
public:
    explicit FakeCounting(MessageDisplay* display = nullptr) : display_(display) {}
    std::unique_ptr<CounterSet> newCounterSet(MessageDisplay& display) override {
        return std::make_unique<FakeCounting>(&display);
    }
    CountedFile count(const FileLocation& file) override {
        const bool fails = file.name.starts_with("fail");
        const unsigned n = static_cast<unsigned>(std::stoul(std::string(file.name.substr(fails ? 4 : 1))));
        std::this_thread::sleep_for(std::chrono::microseconds((n * 7919) % 300));
        if (!fails) return CountedFile{LanguageId::VC, CountResult{n, 0, 0, n, n, 0.0}, {}};
        display_->showMessage("cannot read " + std::string(file.name));
        return CountedFile{};
    }

private:
    MessageDisplay* display_;
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
