#include "runs/folder_walk.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <functional>
#include <thread>
#include <vector>

#include "platform/directory.h"
#include "platform/stop_request.h"

namespace stepcount {

void ObserverFanOut::onFolder(std::string_view folder, std::string_view name) {
    for (WalkObserver* observer : observers_) observer->onFolder(folder, name);
}

void ObserverFanOut::onFile(std::string_view folder, std::string_view name, const FileFacts& facts,
                            const FileCount& count) {
    for (WalkObserver* observer : observers_) observer->onFile(folder, name, facts, count);
}

void ObserverFanOut::onFolderFailure(std::string_view path, int errorNumber) {
    for (WalkObserver* observer : observers_) observer->onFolderFailure(path, errorNumber);
}

namespace {

// Folders deeper than this many levels below the current one have their
// descriptor closed while the walk is below them, and reopened when it comes
// back: a deep tree must not run out of descriptors.
constexpr std::size_t kOpenFolderLimit = 64;

// Entries in flight between the walk and the observer, per counting thread:
// enough to keep every thread busy while a large file holds the oldest one.
constexpr std::size_t kRowsPerJob = 256;

// Rows waiting to be counted that wake the idle counting threads.
constexpr std::size_t kWakeBatch = 16;

// A folder on the walk path, shared with the rows of its entries still in
// flight.
struct OpenFolder {
    std::string path;
    UniqueFd fd;
    dev_t device = 0;
    ino_t inode = 0;
};

// One entry on its way to the observer, or a folder whose content could not
// be listed (`failure`, the system's error number; `name` empty for the row's
// own folder).
struct Row {
    enum class State : std::uint8_t { ToCount, Counting, Done };
    bool isFolder = false;
    int failure = 0;
    State state = State::Done;
    std::shared_ptr<OpenFolder> folder;
    std::string name;
    FileFacts facts;
    FileCount count;
};

// Counts the files of the rows, on the walking thread or on worker threads,
// and hands the rows to the observer in the order they were added. With
// several jobs the rows wait in a ring; the walk waits when it is full.
class RowPipeline {
public:
    RowPipeline(FileCounting& counting, WalkObserver& observer, MessageDisplay& display,
                const WalkOptions& options)
        : observer_(observer), orderedDisplay_(*this, display) {
        const unsigned jobs = std::max(options.jobs, 1U);
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

    ~RowPipeline() { stop(); }

    RowPipeline(const RowPipeline&) = delete;
    RowPipeline& operator=(const RowPipeline&) = delete;

    void add(Row&& row) {
        if (ring_.empty()) {
            if (row.state == Row::State::ToCount) count(*inlineCounters_, inlinePath_, row);
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
        ring_[tail_ % ring_.size()] = std::move(row);
        ++tail_;
        // Idle threads are woken for a batch of rows, not for each one.
        if (backlog() == kWakeBatch) wakeIdleWorkers();
        deliverCounted(lock);
    }

    // Hands every row still in flight to the observer.
    void finish() {
        if (ring_.empty()) return;
        std::unique_lock<std::mutex> lock(mutex_);
        wakeIdleWorkers();
        while (head_ < tail_) {
            waitUntil(lock, [] { return true; });
            deliverCounted(lock);
        }
    }

private:
    // The display of the counting threads: a message waits until every row
    // before its file has been delivered, and is shown while the walking
    // thread waits for that file. So messages come one at a time, in the
    // walk's order, and never while the observer is called.
    class OrderedDisplay : public MessageDisplay {
    public:
        OrderedDisplay(RowPipeline& rows, MessageDisplay& display) : rows_(rows), display_(display) {}
        void showMessage(std::string_view text) override {
            if (rows_.awaitTurn()) display_.showMessage(text);
        }
        void showMessageBox(std::string_view text, std::string_view caption,
                            MessageKind kind) override {
            if (rows_.awaitTurn()) display_.showMessageBox(text, caption, kind);
        }

    private:
        RowPipeline& rows_;
        MessageDisplay& display_;
    };

    // The row that the calling counting thread is counting.
    static thread_local std::size_t countingRow_;

    // False when the walk ended before the turn came (its rows will not be
    // delivered, so neither is the message).
    bool awaitTurn() {
        std::unique_lock<std::mutex> lock(mutex_);
        ++turnWaiters_;
        wakeWalkIfDue();
        turn_.wait(lock, [this] { return head_ == countingRow_ || stopping_; });
        --turnWaiters_;
        return !stopping_;
    }

    Row& at(std::size_t index) { return ring_[index % ring_.size()]; }

    // Rows added that no counting thread has taken yet.
    std::size_t backlog() const { return tail_ - std::max(nextToCount_, head_); }

    void wakeIdleWorkers() {
        if (idleWorkers_ > 0) workReady_.notify_all();
    }

    // Whether the walking thread, waiting, should go on: the oldest row is
    // counted, and the wait's own condition holds or a counting thread
    // waits to show a message.
    bool walkMayGoOn() {
        return at(head_).state == Row::State::Done &&
               (turnWaiters_ > 0 || (walkCondition_ && walkCondition_()));
    }

    // Called by the counting threads after every change the walk may wait for.
    void wakeWalkIfDue() {
        if (walkWaiting_ && walkMayGoOn()) headDone_.notify_one();
    }

    // Waits until the oldest row is counted and `condition` holds.
    template <class Condition>
    void waitUntil(std::unique_lock<std::mutex>& lock, Condition condition) {
        walkCondition_ = condition;
        if (!walkMayGoOn()) {
            walkWaiting_ = true;
            headDone_.wait(lock, [this] { return walkMayGoOn(); });
            walkWaiting_ = false;
        }
        walkCondition_ = nullptr;
    }

    // Delivers the counted rows at the head of the ring.
    void deliverCounted(std::unique_lock<std::mutex>& lock) {
        while (head_ < tail_ && at(head_).state == Row::State::Done) deliverHead(lock);
    }

    void deliverHead(std::unique_lock<std::mutex>& lock) {
        Row& row = at(head_);
        // No worker touches a counted row: it can be read without the lock.
        lock.unlock();
        deliver(row);
        row.folder.reset();
        lock.lock();
        ++head_;
        if (turnWaiters_ > 0) turn_.notify_all();
    }

    // A stop asked for ends the walk before the next row: those delivered are
    // whole, and a file whose count the stop cut short gets no row.
    void deliver(const Row& row) {
        throwIfStopRequested();
        if (row.failure != 0) {
            const std::string& folder = row.folder->path;
            observer_.onFolderFailure(row.name.empty() ? folder : folder + '/' + row.name, row.failure);
        } else if (row.isFolder) {
            observer_.onFolder(row.folder->path, row.name);
        } else {
            observer_.onFile(row.folder->path, row.name, row.facts, row.count);
        }
    }

    static void count(CounterSet& counters, std::string& path, Row& row) {
        try {
            path.assign(row.folder->path);
            path += '/';
            path += row.name;
            row.count = counters.count(FileLocation(path, row.folder->fd.get(), row.name.c_str()),
                                       row.facts);
        } catch (...) {
            // Counters show their own failures; anything else leaves the
            // file uncounted.
            row.count = FileCount{};
            row.facts = FileFacts{};
        }
    }

    void work(std::unique_ptr<CounterSet> counters) {
        std::string path;
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
            countingRow_ = index;
            wakeWalkIfDue();
            lock.unlock();
            count(*counters, path, row);
            lock.lock();
            row.state = Row::State::Done;
            wakeWalkIfDue();
        }
    }

    void stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        workReady_.notify_all();
        turn_.notify_all();
        for (std::thread& worker : workers_) worker.join();
        workers_.clear();
    }

    WalkObserver& observer_;
    OrderedDisplay orderedDisplay_;
    // One job: the walking thread counts.
    std::unique_ptr<CounterSet> inlineCounters_;
    std::string inlinePath_;
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
};

thread_local std::size_t RowPipeline::countingRow_ = 0;

// One folder on the current walk path, with its entries.
struct Visit {
    std::shared_ptr<OpenFolder> folder;
    std::vector<ListedEntry> entries;
    std::size_t next = 0;
};

bool onWalkPath(const std::vector<Visit>& path, dev_t device, ino_t inode) {
    return std::any_of(path.begin(), path.end(), [&](const Visit& visit) {
        return visit.folder->device == device && visit.folder->inode == inode;
    });
}

// Gives `folder` the descriptor `fd` when it is still that folder.
bool adopt(OpenFolder& folder, UniqueFd fd) {
    dev_t device;
    ino_t inode;
    if (!fd.valid() || !identifyFolder(fd.get(), device, inode) || device != folder.device ||
        inode != folder.inode) {
        return false;
    }
    folder.fd = std::move(fd);
    return true;
}

// Makes sure a visit whose descriptor was closed has it again; false, with
// errno set, when the folder is gone or is no longer the same folder.
bool reopen(Visit& visit) {
    OpenFolder& folder = *visit.folder;
    if (folder.fd.valid()) return true;
    UniqueFd fd = openFolder(folder.path);
    const int failure = fd.valid() ? ESTALE : errno;
    if (adopt(folder, std::move(fd))) return true;
    errno = failure;
    return false;
}

// Ends the visit on top of the walk path. When the folder below it had its
// descriptor closed, it is reopened as the ".." of the one that ends: one
// step however long its path is (reopen() goes by the path when that ".." is
// another folder, as it is below a link).
void endVisit(std::vector<Visit>& walkPath) {
    const std::shared_ptr<OpenFolder> ended = walkPath.back().folder;
    walkPath.pop_back();
    if (walkPath.empty()) return;
    OpenFolder& parent = *walkPath.back().folder;
    if (parent.fd.valid() || !ended->fd.valid()) return;
    adopt(parent, openSubfolder(ended->fd.get(), ".."));
}

Row makeRow(const Visit& visit, std::string&& name, bool isFolder, Row::State state) {
    Row row;
    row.isFolder = isFolder;
    row.state = state;
    row.folder = visit.folder;
    row.name = std::move(name);
    return row;
}

// A row that tells of a folder whose content could not be listed: the
// visit's own folder, or its entry `name`.
Row failureRow(const Visit& visit, std::string name, int failure) {
    Row row = makeRow(visit, std::move(name), false, Row::State::Done);
    row.failure = failure;
    return row;
}

// Starts the visit of an opened folder: lists it.
Visit startVisit(std::string path, UniqueFd fd, dev_t device, ino_t inode, RowPipeline& rows) {
    Visit visit;
    visit.folder = std::make_shared<OpenFolder>();
    visit.folder->path = std::move(path);
    visit.folder->device = device;
    visit.folder->inode = inode;
    if (!listFolder(fd.get(), visit.entries)) rows.add(failureRow(visit, {}, errno));
    visit.folder->fd = std::move(fd);
    return visit;
}

}  // namespace

void walkFolderTree(const std::string& countFolder, FileCounting& counting, WalkObserver& observer,
                    MessageDisplay& display, const WalkOptions& options) {
    UniqueFd rootFd = openFolder(countFolder);
    if (!rootFd.valid()) return;
    dev_t device = 0;
    ino_t inode = 0;
    identifyFolder(rootFd.get(), device, inode);

    RowPipeline rows(counting, observer, display, options);
    std::vector<Visit> walkPath;
    walkPath.push_back(startVisit(countFolder, std::move(rootFd), device, inode, rows));

    while (!walkPath.empty()) {
        Visit& visit = walkPath.back();
        if (visit.next == visit.entries.size()) {
            endVisit(walkPath);
            continue;
        }
        if (!reopen(visit)) {
            rows.add(failureRow(visit, {}, errno));
            walkPath.pop_back();
            continue;
        }
        ListedEntry& entry = visit.entries[visit.next++];
        const int folderFd = visit.folder->fd.get();
        EntryType type = entry.type;
        if (type == EntryType::Unreachable) type = inspectEntry(folderFd, entry.name).type;

        switch (type) {
            case EntryType::Folder: {
                UniqueFd childFd = openSubfolder(folderFd, entry.name);
                const int openFailure = childFd.valid() ? 0 : errno;
                std::string childPath = visit.folder->path + '/' + entry.name;
                rows.add(makeRow(visit, std::string(entry.name), true, Row::State::Done));
                if (!childFd.valid()) {
                    rows.add(failureRow(visit, std::move(entry.name), openFailure));
                    break;
                }
                device = 0;
                inode = 0;
                identifyFolder(childFd.get(), device, inode);
                if (onWalkPath(walkPath, device, inode)) break;
                if (walkPath.size() >= kOpenFolderLimit) {
                    // Rows in flight may still need the descriptor.
                    rows.finish();
                    walkPath[walkPath.size() - kOpenFolderLimit].folder->fd.reset();
                }
                // `visit` and `entry` may not be used after this push.
                walkPath.push_back(
                    startVisit(std::move(childPath), std::move(childFd), device, inode, rows));
                break;
            }
            case EntryType::RegularFile:
            case EntryType::Unreachable:
                rows.add(makeRow(visit, std::move(entry.name), false, Row::State::ToCount));
                break;
            case EntryType::Special:
                rows.add(makeRow(visit, std::move(entry.name), false, Row::State::Done));
                break;
        }
    }
    rows.finish();
}

}  // namespace stepcount
