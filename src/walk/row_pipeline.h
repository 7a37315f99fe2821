// The rows of a walk on their way to the observer. Each folder and file the
// walk meets becomes a row; files are counted on the walking thread or on
// counting threads, and the rows reach the observer in the order they were
// added, from the walking thread alone. With several jobs the rows wait in a
// bounded ring; the walk waits when it is full, so memory does not grow with
// the tree.
//
// A counter's error dialog, shown from a counting thread, waits for its
// file's turn: dialogs come one at a time, in the walk's order, never during
// an observer call, each where one job alone would have shown it. The walk
// waits while a dialog is open.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_display.h"
#include "walk/file_counting.h"
#include "walk/folder_node.h"
#include "walk/walk_observer.h"

namespace stepcount {

struct Row {
    enum class Kind : std::uint8_t {
        Folder,          // the folder `name` inside `folder`
        File,            // the file `name` inside `folder`
        FolderFailure,   // a folder whose content could not be listed
        FolderPair,      // comparing versions: the folder `name` inside `folder`
        FilePair,        // comparing versions: the file `name` inside `folder`
        Notice,          // the entry `name` inside `folder` is listed but not counted or
                         // not walked, for the reason `notice`
    };
    enum class State : std::uint8_t { ToCount, Counting, Done };

    Kind kind = Kind::File;
    State state = State::Done;
    int failure = 0;       // FolderFailure: the system's error number
    FolderRef folder;      // the folder that holds the entry
    std::string name;      // FolderFailure: empty when it is `folder` itself
    CountedFile file;      // File: what became of it
    // File: its bytes, when they are not read from the file system.
    std::shared_ptr<const FileContents> contents;
    std::string notice;    // Notice: the reason

    // Comparing versions, where `folder` is the folder relative to the two
    // roots: which versions hold the entry, and, for a file, the folders
    // that hold it in OLD and NEW (index 0 and 1), its names there, whether
    // it is a FIFO, socket or device there, and what the comparison found.
    Sides sides = Sides::Both;
    FolderRef sideFolders[2];
    std::string sideNames[2];
    bool sideSpecial[2] = {false, false};
    bool sideLost[2] = {false, false};   // in a folder of that version that could not be read
    std::shared_ptr<const FileContents> sideContents[2];
    ComparedFile compared;
};

// A file counted before its row is added (see RowPipeline::offerAhead).
struct AheadFile {
    FolderRef folder;   // the folder that holds it
    // The folder's path, when the caller knows it (else it is put together
    // from `folder`).
    std::shared_ptr<const std::string> folderPath;
    std::string name;
    std::shared_ptr<const FileContents> contents;   // let go once counted
    // Files are read quickest in ascending order of this.
    std::uint64_t readingOrder = 0;
    CountedFile file;   // what became of it
    // Its counter told of a failure, which was not shown: the count is not
    // to be used, the file's row counts it again and the message comes in
    // its turn.
    bool told = false;
};

class RowPipeline {
public:
    // `jobs` counting threads; 1 counts on the walking thread itself.
    RowPipeline(FileCounting& counting, WalkObserver& observer, MessageDisplay& display,
                unsigned jobs);
    ~RowPipeline();
    RowPipeline(const RowPipeline&) = delete;
    RowPipeline& operator=(const RowPipeline&) = delete;

    // Adds a row (a file row in state ToCount is counted); delivers the rows
    // that are ready, and waits while the ring is full.
    void add(Row&& row);

    // Delivers every row still in flight.
    void finish();

    // Runs `task(i)` for each i below `count` on the walking thread and the
    // counting threads together, after delivering the rows in flight, and
    // returns when all have run. The task must not throw.
    void runAlongside(std::size_t count, const std::function<void(std::size_t)>& task);

    // Files counted ahead of their rows, a batch at a time: the walk offers
    // the files of a batch (each stays where it is until the batch is
    // counted), then countOfferedAhead has them counted in their reading
    // order on the counting threads, and returns when all are, or as soon
    // as a stop is asked for. The rows in flight are delivered before the
    // first file is offered.
    void offerAhead(AheadFile& file);
    void countOfferedAhead();
    // Forgets the files offered, once no counting thread counts any: the
    // caller may then let them go.
    void dropOfferedAhead();

    // Delivers rows until the first `rows` rows added have been delivered.
    void deliverUpTo(std::uint64_t rows);

    // Rows added so far, and of them those delivered to the observer.
    std::uint64_t added() const { return added_; }
    std::uint64_t delivered() const { return delivered_; }

private:
    class OrderedDisplay : public MessageDisplay {
    public:
        OrderedDisplay(RowPipeline& rows, MessageDisplay& display) : rows_(rows), display_(display) {}
        void showMessage(std::string_view text) override;
        void showMessageBox(std::string_view text, std::string_view caption,
                            MessageKind kind) override;

    private:
        RowPipeline& rows_;
        MessageDisplay& display_;
    };

    // What a counting thread keeps from one file to the next.
    struct CountingState {
        FolderPaths paths[2];
        FileLocation locations[2];
    };

    bool mayShowMessage();
    void runTasks(const std::function<void(std::size_t)>& task, std::size_t count);
    bool awaitTurn();
    Row& at(std::size_t index) { return ring_[index % ring_.size()]; }
    std::size_t backlog() const;
    void wakeIdleWorkers();
    bool walkMayGoOn();
    void wakeWalkIfDue();
    void waitUntil(std::unique_lock<std::mutex>& lock, std::function<bool()> condition);
    void deliverCounted(std::unique_lock<std::mutex>& lock);
    void deliverHead(std::unique_lock<std::mutex>& lock);
    void deliver(Row& row);
    static void count(CounterSet& counters, CountingState& state, Row& row);
    static void countAheadFile(CounterSet& counters, CountingState& state, AheadFile& file);
    void work(std::unique_ptr<CounterSet> counters);
    void stop();

    WalkObserver& observer_;
    OrderedDisplay orderedDisplay_;
    FolderPaths deliveryPaths_;
    FolderPaths relativePaths_{'/'};
    std::string failurePath_;
    std::uint64_t added_ = 0;
    std::uint64_t delivered_ = 0;

    // One job: the walking thread counts.
    std::unique_ptr<CounterSet> inlineCounters_;
    CountingState inlineState_;

    // Several jobs: rows head_ to tail_ - 1 are in flight; those before
    // nextToCount_ are counted or being counted.
    std::vector<Row> ring_;
    std::size_t head_ = 0;
    std::size_t tail_ = 0;
    std::size_t nextToCount_ = 0;
    std::mutex mutex_;
    std::condition_variable workReady_;
    std::condition_variable headDone_;
    std::condition_variable turn_;
    unsigned turnWaiters_ = 0;
    unsigned idleWorkers_ = 0;
    bool walkWaiting_ = false;
    std::function<bool()> walkCondition_;   // what the waiting walk waits for besides the head
    bool stopping_ = false;
    std::vector<std::thread> workers_;

    // Files counted ahead: those offered, the next to take, whether they
    // are being counted, and the runs of them being counted.
    std::vector<AheadFile*> aheadOffered_;
    std::size_t aheadTaken_ = 0;
    bool aheadCounting_ = false;
    unsigned aheadRunsCounting_ = 0;
    // Tasks run alongside the walk: the task, how many, the next to run,
    // the rounds of them, the counting threads running them.
    const std::function<void(std::size_t)>* alongside_ = nullptr;
    std::size_t alongsideCount_ = 0;
    std::atomic<std::size_t> alongsideNext_{0};
    std::uint64_t alongsideRound_ = 0;
    unsigned alongsideRunning_ = 0;
    std::condition_variable aheadDone_;   // for both
};

}  // namespace stepcount
