#include "walk/folder_walk.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <unordered_set>
#include <vector>

#include "platform/ascii.h"
#include "platform/directory.h"
#include "walk/row_pipeline.h"

namespace stepcount {

namespace {

// The descriptors of the folders on the walk path that are kept open: a
// folder deeper than this many levels above the current one has its
// descriptor closed while the walk is below it, and reopened when it comes
// back, so that a deep tree does not run out of descriptors.
constexpr std::size_t kOpenFolderLimit = 64;

// Descriptors left open beyond those for rows in flight that still need them
// (with several jobs); past this many the walk waits for those rows.
constexpr std::size_t kPendingCloseLimit = 192;


struct FolderIdentityHash {
    std::size_t operator()(const FolderIdentity& id) const {
        return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15ULL ^ id.device);
    }
};

// One folder on the current walk path, with its entries.
struct Visit {
    FolderRef folder;
    std::vector<ListedEntry> entries;
    std::size_t next = 0;
    std::size_t listingBytes = 0;   // what `entries` takes
    // Its listing was given up: it is listed again when the walk comes back,
    // and goes on after the folder it comes back from.
    bool relist = false;
};

std::size_t bytesOf(const std::vector<ListedEntry>& entries) {
    std::size_t bytes = entries.capacity() * sizeof(ListedEntry);
    for (const ListedEntry& entry : entries) {
        if (entry.name.size() >= sizeof(std::string)) bytes += entry.name.capacity() + 1;
    }
    return bytes;
}

class FolderWalk {
public:
    FolderWalk(RowPipeline& rows, std::size_t listingBudget)
        : rows_(rows), listingBudget_(listingBudget) {}

    void run(const std::string& countFolder);

private:
    void add(Row&& row);
    void addEntry(Visit& visit, std::string&& name, Row::Kind kind, Row::State state);
    void addFailure(const Visit& visit, std::string name, int failure);
    void startVisit(FolderRef folder, UniqueFd fd);
    void endVisit();
    bool reopen(Visit& visit);
    void closeOutsideWindow();
    void closeDelivered();
    void walkInto(Visit& visit, ListedEntry& entry);

    void keepListingsInBudget();
    bool relist(Visit& visit);

    RowPipeline& rows_;
    std::size_t listingBudget_;
    std::deque<Visit> walkPath_;
    std::size_t listingBytes_ = 0;   // of the listings on the walk path
    std::string resumeAfter_;        // the folder the walk came back from
    std::unordered_set<FolderIdentity, FolderIdentityHash> onWalkPath_;
    // Folders outside the window whose descriptors wait for rows in flight.
    std::deque<FolderRef> pendingCloses_;
};

// Gives `folder` the descriptor `fd` when it is still that folder.
bool adopt(FolderNode& folder, UniqueFd fd) {
    FolderIdentity identity;
    if (!fd.valid() || !identifyFolder(fd.get(), identity) || identity != folder.identity) {
        return false;
    }
    folder.fd = std::move(fd);
    return true;
}

void FolderWalk::add(Row&& row) {
    // Counting a file opens it through its folder's descriptor.
    FolderNode& folder = *row.folder;
    const bool usesDescriptor = row.state == Row::State::ToCount;
    rows_.add(std::move(row));
    if (usesDescriptor) folder.rowsBeforeLastUse = rows_.added();
    if (!pendingCloses_.empty()) closeDelivered();
}

void FolderWalk::addEntry(Visit& visit, std::string&& name, Row::Kind kind, Row::State state) {
    Row row;
    row.kind = kind;
    row.state = state;
    row.folder = visit.folder;
    row.name = std::move(name);
    add(std::move(row));
}

// A row that tells of a folder whose content could not be listed: the
// visit's own folder, or its entry `name`.
void FolderWalk::addFailure(const Visit& visit, std::string name, int failure) {
    Row row;
    row.kind = Row::Kind::FolderFailure;
    row.failure = failure;
    row.folder = visit.folder;
    row.name = std::move(name);
    add(std::move(row));
}

// Starts the visit of an opened folder: lists it.
void FolderWalk::startVisit(FolderRef folder, UniqueFd fd) {
    closeOutsideWindow();
    Visit visit;
    visit.folder = std::move(folder);
    onWalkPath_.insert(visit.folder->identity);
    const bool listed = listFolder(fd.get(), visit.entries);
    const int failure = listed ? 0 : errno;
    visit.folder->fd = std::move(fd);
    visit.listingBytes = bytesOf(visit.entries);
    listingBytes_ += visit.listingBytes;
    walkPath_.push_back(std::move(visit));
    if (!listed) addFailure(walkPath_.back(), {}, failure);
    keepListingsInBudget();
}

// Gives up the largest listings above the current folder while the listings
// on the walk path take more than their budget.
void FolderWalk::keepListingsInBudget() {
    while (listingBytes_ > listingBudget_) {
        std::size_t largest = walkPath_.size() - 1;
        for (std::size_t i = 0; i + 1 < walkPath_.size(); ++i) {
            if (largest == walkPath_.size() - 1 ||
                walkPath_[i].listingBytes > walkPath_[largest].listingBytes) {
                largest = i;
            }
        }
        Visit& visit = walkPath_[largest];
        if (largest == walkPath_.size() - 1 || visit.listingBytes == 0) return;
        listingBytes_ -= visit.listingBytes;
        visit.listingBytes = 0;
        std::vector<ListedEntry>().swap(visit.entries);
        visit.relist = true;
        visit.next = 0;
    }
}

// Lists again a folder whose listing was given up, and goes on after the
// entry it was in; false, with errno set, when it cannot be read.
bool FolderWalk::relist(Visit& visit) {
    visit.relist = false;
    if (!listFolder(visit.folder->fd.get(), visit.entries)) return false;
    const auto after = std::upper_bound(
        visit.entries.begin(), visit.entries.end(), resumeAfter_,
        [](const std::string& name, const ListedEntry& entry) {
            return ascii::compareEntryNames(name, entry.name) < 0;
        });
    visit.next = static_cast<std::size_t>(after - visit.entries.begin());
    visit.listingBytes = bytesOf(visit.entries);
    listingBytes_ += visit.listingBytes;
    return true;
}

// The folder that leaves the window of open descriptors as the walk goes one
// level deeper gives up its descriptor, at once or once the rows in flight
// that need it are delivered.
void FolderWalk::closeOutsideWindow() {
    if (walkPath_.size() < kOpenFolderLimit) return;
    const FolderRef& folder = walkPath_[walkPath_.size() - kOpenFolderLimit].folder;
    if (!folder->fd.valid() || folder->closePending) return;
    if (rows_.delivered() >= folder->rowsBeforeLastUse) {
        folder->fd.reset();
        return;
    }
    folder->closePending = true;
    pendingCloses_.push_back(folder);
    if (pendingCloses_.size() > kPendingCloseLimit) {
        rows_.deliverUpTo(pendingCloses_.front()->rowsBeforeLastUse);
        closeDelivered();
    }
}

// Closes the pending descriptors whose rows have been delivered.
void FolderWalk::closeDelivered() {
    while (!pendingCloses_.empty()) {
        FolderNode& folder = *pendingCloses_.front();
        if (folder.closePending) {
            if (rows_.delivered() < folder.rowsBeforeLastUse) return;
            folder.fd.reset();
            folder.closePending = false;
        }
        pendingCloses_.pop_front();
    }
}

// Ends the visit on top of the walk path. When the folder below it had its
// descriptor closed, it is reopened as the ".." of the one that ends: one
// step however long its path is (reopen() goes by the path when that ".." is
// another folder, as it is below a link).
void FolderWalk::endVisit() {
    const FolderRef ended = std::move(walkPath_.back().folder);
    onWalkPath_.erase(ended->identity);
    listingBytes_ -= walkPath_.back().listingBytes;
    walkPath_.pop_back();
    if (walkPath_.empty()) return;
    if (walkPath_.back().relist) resumeAfter_ = ended->name();
    FolderNode& parent = *walkPath_.back().folder;
    if (parent.closePending) {
        parent.closePending = false;   // still open: it stays so
        return;
    }
    if (parent.fd.valid() || !ended->fd.valid()) return;
    adopt(parent, openSubfolder(ended->fd.get(), ".."));
}

// Makes sure a visit whose descriptor was closed has it again; false, with
// errno set, when the folder is gone or is no longer the same folder.
bool FolderWalk::reopen(Visit& visit) {
    FolderNode& folder = *visit.folder;
    if (folder.fd.valid()) return true;
    UniqueFd fd = openFolder(folder.path());
    const int failure = fd.valid() ? kFolderReplacedError : errno;
    if (adopt(folder, std::move(fd))) return true;
    errno = failure;
    return false;
}

void FolderWalk::walkInto(Visit& visit, ListedEntry& entry) {
    UniqueFd childFd = openSubfolder(visit.folder->fd.get(), entry.name);
    const int openFailure = childFd.valid() ? 0 : errno;
    FolderRef child = FolderNode::child(visit.folder, entry.name);
    addEntry(visit, std::move(entry.name), Row::Kind::Folder, Row::State::Done);
    if (!childFd.valid()) {
        addFailure(visit, child->name(), openFailure);
        return;
    }
    identifyFolder(childFd.get(), child->identity);
    if (onWalkPath_.count(child->identity) != 0) return;   // a link back up: listed, not walked
    // `visit` and `entry` may not be used after this.
    startVisit(std::move(child), std::move(childFd));
}

void FolderWalk::run(const std::string& countFolder) {
    UniqueFd rootFd = openFolder(countFolder);
    if (!rootFd.valid()) return;
    FolderRef root = FolderNode::root(countFolder);
    identifyFolder(rootFd.get(), root->identity);
    startVisit(std::move(root), std::move(rootFd));

    while (!walkPath_.empty()) {
        Visit& visit = walkPath_.back();
        if (visit.next == visit.entries.size() && !visit.relist) {
            endVisit();
            continue;
        }
        if (!reopen(visit) || (visit.relist && !relist(visit))) {
            addFailure(visit, {}, errno);
            onWalkPath_.erase(visit.folder->identity);
            listingBytes_ -= visit.listingBytes;
            walkPath_.pop_back();
            continue;
        }
        if (visit.next == visit.entries.size()) continue;
        ListedEntry& entry = visit.entries[visit.next++];
        EntryType type = entry.type;
        if (type == EntryType::Unreachable) type = inspectEntry(visit.folder->fd.get(), entry.name).type;

        switch (type) {
            case EntryType::Folder: walkInto(visit, entry); break;
            case EntryType::RegularFile:
            case EntryType::Unreachable:
                addEntry(visit, std::move(entry.name), Row::Kind::File, Row::State::ToCount);
                break;
            case EntryType::Special:
                addEntry(visit, std::move(entry.name), Row::Kind::File, Row::State::Done);
                break;
        }
    }
    rows_.finish();
}

}  // namespace

void walkFolderTree(const std::string& countFolder, FileCounting& counting, WalkObserver& observer,
                    MessageDisplay& display, const WalkOptions& options) {
    RowPipeline rows(counting, observer, display, options.jobs);
    FolderWalk(rows, options.listingBudget).run(countFolder);
}

}  // namespace stepcount
