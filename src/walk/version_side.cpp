#include "walk/version_side.h"

#include <cerrno>
#include <unordered_set>

#include "walk/descriptor_window.h"

namespace stepcount {

namespace {

struct FolderIdentityHash {
    std::size_t operator()(const FolderIdentity& id) const {
        return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15ULL ^ id.device);
    }
};

}  // namespace

void VersionSide::fill(Row& row, int index, const FolderRef& folder, const ListedEntry& entry) {
    row.sideFolders[index] = folder;
    row.sideNames[index] = entry.name;
    row.sideSpecial[index] = entry.type == EntryType::Special;
    row.sideContents[index] = contentsOf(entry);
}

namespace {

struct TreeVisit {
    FolderRef folder;
    std::vector<ListedEntry> entries;
    std::size_t next = 0;
};

Row rowOf(Row::Kind kind, Row::State state, const FolderRef& folder, const std::string& name) {
    Row row;
    row.kind = kind;
    row.state = state;
    row.folder = folder;
    row.name = name;
    return row;
}

}  // namespace

void walkVersion(VersionSide& side, RowPipeline& rows) {
    std::vector<TreeVisit> walkPath;
    auto enter = [&](FolderRef folder) {
        TreeVisit visit;
        visit.folder = std::move(folder);
        if (!side.list(*visit.folder, visit.entries)) {
            Row failure = rowOf(Row::Kind::FolderFailure, Row::State::Done, visit.folder, {});
            failure.failure = errno;
            rows.add(std::move(failure));
            return;
        }
        sortEntriesByName(visit.entries);
        walkPath.push_back(std::move(visit));
    };
    FolderRef root = side.openRoot();
    if (!root) return;
    enter(std::move(root));
    while (!walkPath.empty()) {
        TreeVisit& visit = walkPath.back();
        if (visit.next == visit.entries.size()) {
            walkPath.pop_back();
            continue;
        }
        const ListedEntry entry = std::move(visit.entries[visit.next++]);
        const FolderRef folder = visit.folder;
        if (entry.type == EntryType::Folder) {
            rows.add(rowOf(Row::Kind::Folder, Row::State::Done, folder, entry.name));
        } else {
            const bool counted = entry.type != EntryType::Special;
            Row file = rowOf(Row::Kind::File, counted ? Row::State::ToCount : Row::State::Done, folder,
                             entry.name);
            if (counted && side.countedAhead(folder, entry, file.file)) {
                file.state = Row::State::Done;
            } else if (counted) {
                file.contents = side.contentsOf(entry);
            }
            rows.add(std::move(file));
        }
        if (!entry.notice.empty()) {
            Row notice = rowOf(Row::Kind::Notice, Row::State::Done, folder, entry.name);
            notice.notice = entry.notice;
            rows.add(std::move(notice));
            continue;
        }
        if (entry.type != EntryType::Folder) continue;
        bool loops = false;
        FolderRef child = side.openChild(folder, entry, loops);
        if (!child) {
            Row failure = rowOf(Row::Kind::FolderFailure, Row::State::Done, folder, entry.name);
            failure.failure = errno;
            rows.add(std::move(failure));
        } else if (!loops) {
            // `visit` may not be used after this.
            enter(std::move(child));
        }
    }
    rows.finish();
}

struct FolderVersionSide::State {
    explicit State(RowPipeline& rows) : window(rows) {}
    DescriptorWindow window;
    std::unordered_set<FolderIdentity, FolderIdentityHash> onWalkPath;
};

FolderVersionSide::FolderVersionSide(std::string root, RowPipeline& rows, std::string leftOut)
    : root_(std::move(root)), leftOut_(std::move(leftOut)), state_(std::make_unique<State>(rows)) {}

FolderVersionSide::~FolderVersionSide() = default;

FolderRef FolderVersionSide::openRoot() {
    UniqueFd fd = openFolder(root_);
    if (!fd.valid()) return {};
    FolderRef root = FolderNode::root(root_);
    identifyFolder(fd.get(), root->identity);
    root->fd = std::move(fd);
    return root;
}

bool FolderVersionSide::list(FolderNode& folder, std::vector<ListedEntry>& entries) {
    if (!listFolder(folder.fd.get(), entries)) return false;
    if (!leftOut_.empty() && folder.parent() == nullptr) {
        std::erase_if(entries, [&](const ListedEntry& entry) { return entry.name == leftOut_; });
    }
    for (ListedEntry& entry : entries) {
        if (entry.type == EntryType::Unreachable) entry.type = inspectEntry(folder.fd.get(), entry.name).type;
    }
    return true;
}

FolderRef FolderVersionSide::openChild(const FolderRef& parent, const ListedEntry& entry, bool& loops) {
    UniqueFd fd = openSubfolder(parent->fd.get(), entry.name);
    if (!fd.valid()) return {};
    FolderRef child = FolderNode::child(parent, entry.name);
    identifyFolder(fd.get(), child->identity);
    child->fd = std::move(fd);
    loops = state_->onWalkPath.count(child->identity) != 0;
    return child;
}

void FolderVersionSide::entered(const FolderRef& folder) { state_->onWalkPath.insert(folder->identity); }

void FolderVersionSide::leavesWindow(const FolderRef& folder) { state_->window.release(folder); }

void FolderVersionSide::ended(const FolderRef& folder, FolderNode* parent) {
    state_->onWalkPath.erase(folder->identity);
    if (parent != nullptr) state_->window.reenter(*parent, folder.get());
}

bool FolderVersionSide::reenter(FolderNode& folder) { return state_->window.reenter(folder, nullptr); }

void FolderVersionSide::added(FolderNode* usedFolder) {
    if (usedFolder != nullptr) {
        state_->window.used(*usedFolder);
    } else {
        state_->window.closeDue();
    }
}

}  // namespace stepcount
