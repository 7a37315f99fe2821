#include "walk/row_pipeline.h"

#include <algorithm>

#include "platform/stop_request.h"

namespace stepcount {

namespace {

// Entries in flight between the walk and the observer, per counting thread:
// enough to keep every thread busy while a large file holds the oldest one.
constexpr std::size_t kRowsPerJob = 256;

// Rows waiting to be counted that wake the idle counting threads.
constexpr std::size_t kWakeBatch = 16;

// The row that the calling counting thread is counting.
thread_local std::size_t countingRow = 0;

}  // namespace

void RowPipeline::OrderedDisplay::showMessage(std::string_view text) {
    if (rows_.awaitTurn()) display_.showMessage(text);
}

void RowPipeline::OrderedDisplay::showMessageBox(std::string_view text, std::string_view caption,
                                                 MessageKind kind) {
    if (rows_.awaitTurn()) display_.showMessageBox(text, caption, kind);
}

RowPipeline::RowPipeline(FileCounting& counting, WalkObserver& observer, MessageDisplay& display,
                         unsigned jobs)
    : observer_(observer), orderedDisplay_(*this, display) {
    jobs = std::max(jobs, 1U);
    if (jobs == 1) {
        inlineCounters_ = counting.newCounterSet(display);
        return;
    }
    ring_.resize(kRowsPerJob * jobs);
    try {
        for (unsigned i = 0; i < jobs; ++i) {
            workers_.emplace_back(&RowPipeline::work, this, counting.newCounterSet(orderedDisplay_));
        }
    } catch (...) {
        stop();
        throw;
    }
}

RowPipeline::~RowPipeline() { stop(); }

void RowPipeline::add(Row&& row) {
    ++added_;
    if (ring_.empty()) {
        if (row.state == Row::State::ToCount) count(*inlineCounters_, inlineState_, row);
        deliver(row);
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (tail_ - head_ == ring_.size()) {
        // Full: wait until the counting threads are short of work, then
        // deliver what they have counted, many rows for one wait.
        wakeIdleWorkers();
        waitUntil(lock, [this] { return backlog() <= ring_.size() / 4; });
        deliverCounted(lock);
    }
    at(tail_) = std::move(row);
    ++tail_;
    // Idle threads are woken for a batch of rows, not for each one.
    if (backlog() == kWakeBatch) wakeIdleWorkers();
    deliverCounted(lock);
}

void RowPipeline::finish() { deliverUpTo(added_); }

void RowPipeline::deliverUpTo(std::uint64_t rows) {
    if (ring_.empty()) return;
    std::unique_lock<std::mutex> lock(mutex_);
    wakeIdleWorkers();
    while (head_ < std::min<std::uint64_t>(rows, tail_)) {
        waitUntil(lock, [] { return true; });
        deliverCounted(lock);
    }
}

// False when the walk ended before the turn came (its rows will not be
// delivered, so neither is the message).
bool RowPipeline::awaitTurn() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++turnWaiters_;
    wakeWalkIfDue();
    turn_.wait(lock, [this] { return head_ == countingRow || stopping_; });
    --turnWaiters_;
    return !stopping_;
}

std::size_t RowPipeline::backlog() const { return tail_ - std::max(nextToCount_, head_); }

void RowPipeline::wakeIdleWorkers() {
    if (idleWorkers_ > 0) workReady_.notify_all();
}

// Whether the walking thread, waiting, should go on: the oldest row is
// counted, and the wait's own condition holds or a counting thread waits to
// show a message.
bool RowPipeline::walkMayGoOn() {
    return at(head_).state == Row::State::Done &&
           (turnWaiters_ > 0 || (walkCondition_ && walkCondition_()));
}

// Called by the counting threads after every change the walk may wait for.
void RowPipeline::wakeWalkIfDue() {
    if (walkWaiting_ && walkMayGoOn()) headDone_.notify_one();
}

// Waits until the oldest row is counted and `condition` holds.
void RowPipeline::waitUntil(std::unique_lock<std::mutex>& lock, std::function<bool()> condition) {
    walkCondition_ = std::move(condition);
    if (!walkMayGoOn()) {
        walkWaiting_ = true;
        headDone_.wait(lock, [this] { return walkMayGoOn(); });
        walkWaiting_ = false;
    }
    walkCondition_ = nullptr;
}

// Delivers the counted rows at the head of the ring.
void RowPipeline::deliverCounted(std::unique_lock<std::mutex>& lock) {
    while (head_ < tail_ && at(head_).state == Row::State::Done) deliverHead(lock);
}

void RowPipeline::deliverHead(std::unique_lock<std::mutex>& lock) {
    Row& row = at(head_);
    // No worker touches a counted row: it can be read without the lock.
    lock.unlock();
    deliver(row);
    row.folder.reset();
    row.sideFolders[0].reset();
    row.sideFolders[1].reset();
    row.contents.reset();
    row.sideContents[0].reset();
    row.sideContents[1].reset();
    lock.lock();
    ++head_;
    if (turnWaiters_ > 0) turn_.notify_all();
}

// A stop asked for ends the walk before the next row: those delivered are
// whole, and a file whose count the stop cut short gets no row.
void RowPipeline::deliver(Row& row) {
    throwIfStopRequested();
    const bool paired = row.kind == Row::Kind::FolderPair || row.kind == Row::Kind::FilePair;
    const std::string& folder = (paired ? relativePaths_ : deliveryPaths_).pathOf(*row.folder);
    switch (row.kind) {
        case Row::Kind::Folder: observer_.onFolder(folder, row.name); break;
        case Row::Kind::File:
            observer_.onFile(WalkedFile{folder, row.name, row.file.language, row.file.facts,
                                        row.file.count});
            break;
        case Row::Kind::FolderFailure:
            failurePath_ = folder;
            if (!row.name.empty()) (failurePath_ += kPathSeparator) += row.name;
            observer_.onFolderFailure(failurePath_, row.failure);
            break;
        case Row::Kind::FolderPair: observer_.onFolderPair(folder, row.name, row.sides); break;
        case Row::Kind::Notice:
            failurePath_ = folder;
            (failurePath_ += kPathSeparator) += row.name;
            observer_.onNotice(failurePath_, row.notice);
            break;
        case Row::Kind::FilePair:
            observer_.onFilePair(PairedFile{folder, row.name, row.sides, row.compared});
            break;
    }
    ++delivered_;
}

namespace {

// Points `location` at the file `name` of `folder`.
void locate(FileLocation& location, FolderPaths& paths, const FolderNode& folder,
            const std::string& name, const FileContents* contents) {
    location.path = paths.pathOf(folder);
    location.path += kPathSeparator;
    location.path += name;
    location.folderFd = folder.fd.get();
    location.name = name;
    location.contents = contents;
}

}  // namespace

void RowPipeline::count(CounterSet& counters, CountingState& state, Row& row) {
    if (row.kind == Row::Kind::FilePair) {
        FileSide sides[2];
        for (int side = 0; side < 2; ++side) {
            sides[side].lost = row.sideLost[side];
            if (!row.sideFolders[side]) continue;
            locate(state.locations[side], state.paths[side], *row.sideFolders[side],
                   row.sideNames[side], row.sideContents[side].get());
            sides[side].location = &state.locations[side];
            sides[side].special = row.sideSpecial[side];
        }
        try {
            row.compared = counters.compare(sides[0], sides[1]);
        } catch (...) {
            // Counters show their own failures; anything else leaves the
            // pair unread.
            row.compared = ComparedFile{};
            row.compared.status = PairStatus::Unreadable;
        }
        return;
    }
    try {
        locate(state.locations[0], state.paths[0], *row.folder, row.name, row.contents.get());
        row.file = counters.count(state.locations[0]);
    } catch (...) {
        // Counters show their own failures; anything else leaves the file
        // uncounted.
        row.file = CountedFile{};
    }
}

void RowPipeline::work(std::unique_ptr<CounterSet> counters) {
    CountingState state;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stopping_) return;
        nextToCount_ = std::max(nextToCount_, head_);
        while (nextToCount_ < tail_ && at(nextToCount_).state != Row::State::ToCount) {
            ++nextToCount_;
        }
        if (nextToCount_ == tail_) {
            ++idleWorkers_;
            workReady_.wait(lock);
            --idleWorkers_;
            continue;
        }
        const std::size_t index = nextToCount_++;
        Row& row = at(index);
        row.state = Row::State::Counting;
        countingRow = index;
        wakeWalkIfDue();
        lock.unlock();
        count(*counters, state, row);
        lock.lock();
        row.state = Row::State::Done;
        wakeWalkIfDue();
    }
}

void RowPipeline::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    workReady_.notify_all();
    turn_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
}

}  // namespace stepcount
