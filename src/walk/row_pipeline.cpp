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

// Files counted ahead that a counting thread takes at a time.
constexpr std::size_t kAheadRun = 32;

// The row that the calling counting thread is counting.
thread_local std::size_t countingRow = 0;

// The file that the calling thread counts ahead of its row, if any.
thread_local AheadFile* countingAhead = nullptr;

}  // namespace

void RowPipeline::OrderedDisplay::showMessage(std::string_view text) {
    if (rows_.mayShowMessage()) display_.showMessage(text);
}

void RowPipeline::OrderedDisplay::showMessageBox(std::string_view text, std::string_view caption,
                                                 MessageKind kind) {
    if (rows_.mayShowMessage()) display_.showMessageBox(text, caption, kind);
}

RowPipeline::RowPipeline(FileCounting& counting, WalkObserver& observer, MessageDisplay& display,
                         unsigned jobs)
    : observer_(observer), orderedDisplay_(*this, display) {
    jobs = std::max(jobs, 1U);
    if (jobs == 1) {
        inlineCounters_ = counting.newCounterSet(orderedDisplay_);
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

void RowPipeline::runAlongside(std::size_t count, const std::function<void(std::size_t)>& task) {
    if (ring_.empty()) {
        for (std::size_t i = 0; i < count; ++i) task(i);
        return;
    }
    // No counting thread waits for a row's turn while the walk runs tasks.
    finish();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        alongside_ = &task;
        alongsideCount_ = count;
        alongsideNext_.store(0, std::memory_order_relaxed);
        ++alongsideRound_;
    }
    workReady_.notify_all();
    runTasks(task, count);
    std::unique_lock<std::mutex> lock(mutex_);
    aheadDone_.wait(lock, [&] { return alongsideRunning_ == 0; });
    alongside_ = nullptr;
}

void RowPipeline::runTasks(const std::function<void(std::size_t)>& task, std::size_t count) {
    for (;;) {
        const std::size_t i = alongsideNext_.fetch_add(1, std::memory_order_relaxed);
        if (i >= count) return;
        task(i);
    }
}

void RowPipeline::offerAhead(AheadFile& file) {
    if (aheadOffered_.empty()) {
        // No counting thread waits for a row's turn while the walk counts
        // ahead.
        finish();
    }
    aheadOffered_.push_back(&file);
}

void RowPipeline::countOfferedAhead() {
    // Sorted by their keys side by side, not by keys spread over memory.
    std::vector<std::pair<std::uint64_t, AheadFile*>> ordered;
    ordered.reserve(aheadOffered_.size());
    for (AheadFile* file : aheadOffered_) ordered.emplace_back(file->readingOrder, file);
    std::sort(ordered.begin(), ordered.end());
    for (std::size_t i = 0; i < ordered.size(); ++i) aheadOffered_[i] = ordered[i].second;
    if (ring_.empty()) {
        for (AheadFile* file : aheadOffered_) {
            if (stopRequested() != 0) break;
            countAheadFile(*inlineCounters_, inlineState_, *file);
        }
        aheadOffered_.clear();
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    aheadTaken_ = 0;
    aheadCounting_ = true;
    wakeIdleWorkers();
    aheadDone_.wait(lock, [&] { return aheadTaken_ == aheadOffered_.size() && aheadRunsCounting_ == 0; });
    aheadCounting_ = false;
    aheadOffered_.clear();
}

void RowPipeline::dropOfferedAhead() {
    if (!ring_.empty()) {
        std::unique_lock<std::mutex> lock(mutex_);
        aheadCounting_ = false;
        aheadDone_.wait(lock, [&] { return aheadRunsCounting_ == 0; });
    }
    aheadOffered_.clear();
}

// Whether a counter's message is shown now: a file counted ahead has it
// told in its row, a row counted on a counting thread waits for its turn.
bool RowPipeline::mayShowMessage() {
    if (countingAhead != nullptr) {
        countingAhead->told = true;
        return false;
    }
    return ring_.empty() || awaitTurn();
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

// Points `location` at the file `name` of `folder`, whose path is
// `folderPath`.
void locate(FileLocation& location, const std::string& folderPath, const FolderNode& folder,
            const std::string& name, const FileContents* contents) {
    location.path = folderPath;
    location.path += kPathSeparator;
    location.path += name;
    location.folderFd = folder.fd.get();
    location.name = name;
    location.contents = contents;
}

// Counts the file that `place` points `location` at.
template <class Place>
CountedFile countFile(CounterSet& counters, FileLocation& location, Place place) {
    try {
        place(location);
        return counters.count(location);
    } catch (...) {
        // Counters show their own failures; anything else leaves the file
        // uncounted.
        return CountedFile{};
    }
}

}  // namespace

void RowPipeline::count(CounterSet& counters, CountingState& state, Row& row) {
    if (row.kind == Row::Kind::FilePair) {
        FileSide sides[2];
        for (int side = 0; side < 2; ++side) {
            sides[side].lost = row.sideLost[side];
            if (!row.sideFolders[side]) continue;
            locate(state.locations[side], state.paths[side].pathOf(*row.sideFolders[side]),
                   *row.sideFolders[side], row.sideNames[side], row.sideContents[side].get());
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
    row.file = countFile(counters, state.locations[0], [&](FileLocation& location) {
        locate(location, state.paths[0].pathOf(*row.folder), *row.folder, row.name,
               row.contents.get());
    });
}

void RowPipeline::countAheadFile(CounterSet& counters, CountingState& state, AheadFile& file) {
    countingAhead = &file;
    file.file = countFile(counters, state.locations[0], [&](FileLocation& location) {
        // Files counted ahead come from all over the tree: a path known
        // saves putting it together again.
        locate(location,
               file.folderPath != nullptr ? *file.folderPath : state.paths[0].pathOf(*file.folder),
               *file.folder, file.name, file.contents.get());
    });
    // Not needed again (a file whose failure was told gets new ones): let
    // go here, on the counting threads.
    file.contents.reset();
    countingAhead = nullptr;
}

void RowPipeline::work(std::unique_ptr<CounterSet> counters) {
    CountingState state;
    std::uint64_t roundsTakenPart = 0;   // of the work alongside the walk
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stopping_) return;
        if (alongside_ != nullptr && roundsTakenPart < alongsideRound_) {
            roundsTakenPart = alongsideRound_;
            const std::function<void(std::size_t)>& task = *alongside_;
            const std::size_t count = alongsideCount_;
            ++alongsideRunning_;
            lock.unlock();
            runTasks(task, count);
            lock.lock();
            if (--alongsideRunning_ == 0) aheadDone_.notify_all();
            continue;
        }
        if (aheadCounting_ && aheadTaken_ < aheadOffered_.size()) {
            // A run of files: files next to each other in the reading order
            // are often read from the same objects, which one thread reads
            // once where two would read them both.
            AheadFile* run[kAheadRun];
            const std::size_t count = std::min(kAheadRun, aheadOffered_.size() - aheadTaken_);
            std::copy_n(aheadOffered_.begin() + static_cast<std::ptrdiff_t>(aheadTaken_), count, run);
            aheadTaken_ += count;
            ++aheadRunsCounting_;
            lock.unlock();
            for (std::size_t i = 0; i < count && stopRequested() == 0; ++i) {
                countAheadFile(*counters, state, *run[i]);
            }
            lock.lock();
            if (--aheadRunsCounting_ == 0) aheadDone_.notify_all();
            continue;
        }
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
