#include "walk/paired_walk.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <deque>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/ascii.h"
#include "platform/directory.h"
#include "walk/descriptor_window.h"
#include "walk/row_pipeline.h"

namespace stepcount {

namespace {

constexpr int kOld = 0;
constexpr int kNew = 1;

struct FolderIdentityHash {
    std::size_t operator()(const FolderIdentity& id) const {
        return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15ULL ^ id.device);
    }
};

// An entry of a folder pair: its name in each version that holds it, and
// what it is there.
struct PairedEntry {
    std::array<bool, 2> present{};
    std::array<std::string, 2> names;
    std::array<EntryType, 2> types{EntryType::Unreachable, EntryType::Unreachable};

    // The name the rows show: NEW's, or OLD's when only there.
    const std::string& shownName() const { return present[kNew] ? names[kNew] : names[kOld]; }
    Sides sides() const {
        return present[kOld] && present[kNew] ? Sides::Both
               : present[kOld]                ? Sides::OldOnly
                                              : Sides::NewOnly;
    }
    // The entry as it is in one version only.
    PairedEntry sideOnly(int side) const {
        PairedEntry entry;
        entry.present[side] = true;
        entry.names[side] = names[side];
        entry.types[side] = types[side];
        return entry;
    }
};

// A folder of the comparison: as the rows show it, and in each version that
// holds it.
struct PairVisit {
    FolderRef shown;
    std::array<FolderRef, 2> sides;
    std::vector<PairedEntry> entries;
    std::size_t next = 0;
};

std::string foldedName(const std::string& name) {
    std::string folded(name);
    for (char& c : folded) c = ascii::toUpper(c);
    return folded;
}

// Pairs the entries of the two listings (either may be empty).
std::vector<PairedEntry> pairEntries(std::array<std::vector<ListedEntry>, 2>& listings) {
    std::vector<PairedEntry> entries;
    std::unordered_map<std::string_view, std::size_t> newIndex;
    for (std::size_t i = 0; i < listings[kNew].size(); ++i) newIndex.emplace(listings[kNew][i].name, i);
    std::vector<bool> newPaired(listings[kNew].size(), false);
    std::vector<std::size_t> oldLeft;
    for (ListedEntry& old : listings[kOld]) {
        const auto found = newIndex.find(old.name);
        if (found == newIndex.end()) {
            oldLeft.push_back(static_cast<std::size_t>(&old - listings[kOld].data()));
            continue;
        }
        ListedEntry& added = listings[kNew][found->second];
        newPaired[found->second] = true;
        PairedEntry entry;
        entry.present = {true, true};
        entry.types = {old.type, added.type};
        entry.names = {std::move(old.name), std::move(added.name)};
        entries.push_back(std::move(entry));
    }
    // Of the rest, names equal but for the case of ASCII letters pair when
    // the match is one to one.
    struct Candidates {
        std::vector<std::size_t> indices[2];
    };
    std::unordered_map<std::string, Candidates> byFoldedName;
    for (const std::size_t i : oldLeft) {
        byFoldedName[foldedName(listings[kOld][i].name)].indices[kOld].push_back(i);
    }
    for (std::size_t i = 0; i < listings[kNew].size(); ++i) {
        if (!newPaired[i]) byFoldedName[foldedName(listings[kNew][i].name)].indices[kNew].push_back(i);
    }
    for (auto& [folded, candidates] : byFoldedName) {
        const bool oneToOne = candidates.indices[kOld].size() == 1 && candidates.indices[kNew].size() == 1;
        if (oneToOne) {
            PairedEntry entry;
            for (const int side : {kOld, kNew}) {
                ListedEntry& listed = listings[side][candidates.indices[side].front()];
                entry.present[side] = true;
                entry.types[side] = listed.type;
                entry.names[side] = std::move(listed.name);
            }
            entries.push_back(std::move(entry));
            continue;
        }
        for (const int side : {kOld, kNew}) {
            for (const std::size_t i : candidates.indices[side]) {
                PairedEntry entry;
                entry.present[side] = true;
                entry.types[side] = listings[side][i].type;
                entry.names[side] = std::move(listings[side][i].name);
                entries.push_back(std::move(entry));
            }
        }
    }
    std::sort(entries.begin(), entries.end(), [](const PairedEntry& a, const PairedEntry& b) {
        return ascii::compareEntryNames(a.shownName(), b.shownName()) < 0;
    });
    return entries;
}

class PairedWalk {
public:
    explicit PairedWalk(RowPipeline& rows) : rows_(rows), windows_{DescriptorWindow(rows), DescriptorWindow(rows)} {}

    void run(const std::string& oldFolder, const std::string& newFolder);

private:
    void add(Row&& row);
    void addFailure(const FolderRef& folder, std::string name, int failure);
    bool startVisit(FolderRef shown, std::array<FolderRef, 2> sides, std::array<UniqueFd, 2> fds);
    void endVisit();
    void walkFolder(PairVisit& visit, const PairedEntry& entry);
    void addFile(PairVisit& visit, const PairedEntry& entry);
    void take(PairVisit& visit, PairedEntry& entry);

    RowPipeline& rows_;
    std::array<DescriptorWindow, 2> windows_;
    std::deque<PairVisit> walkPath_;
    std::array<std::unordered_set<FolderIdentity, FolderIdentityHash>, 2> onWalkPath_;
};

void PairedWalk::add(Row&& row) {
    std::array<FolderNode*, 2> used{};
    if (row.kind == Row::Kind::FilePair) {
        for (const int side : {kOld, kNew}) {
            if (row.sideFolders[side] && !row.sideSpecial[side]) used[side] = row.sideFolders[side].get();
        }
    }
    rows_.add(std::move(row));
    for (const int side : {kOld, kNew}) {
        if (used[side] != nullptr) {
            windows_[side].used(*used[side]);
        } else {
            windows_[side].closeDue();
        }
    }
}

void PairedWalk::addFailure(const FolderRef& folder, std::string name, int failure) {
    Row row;
    row.kind = Row::Kind::FolderFailure;
    row.failure = failure;
    row.folder = folder;
    row.name = std::move(name);
    add(std::move(row));
}

// Starts the visit of a folder pair opened on the sides it has: lists them
// and pairs their entries. False when a side cannot be listed (its failure is
// told; the folder's content is left out).
bool PairedWalk::startVisit(FolderRef shown, std::array<FolderRef, 2> sides,
                            std::array<UniqueFd, 2> fds) {
    std::array<std::vector<ListedEntry>, 2> listings;
    for (const int side : {kOld, kNew}) {
        if (!sides[side]) continue;
        if (!listFolder(fds[side].get(), listings[side])) {
            addFailure(sides[side], {}, errno);
            return false;
        }
        for (ListedEntry& entry : listings[side]) {
            if (entry.type == EntryType::Unreachable) {
                entry.type = inspectEntry(fds[side].get(), entry.name).type;
            }
        }
    }
    if (walkPath_.size() >= DescriptorWindow::kOpenFolders) {
        const PairVisit& leaving = walkPath_[walkPath_.size() - DescriptorWindow::kOpenFolders];
        for (const int side : {kOld, kNew}) {
            if (leaving.sides[side]) windows_[side].release(leaving.sides[side]);
        }
    }
    PairVisit visit;
    visit.shown = std::move(shown);
    for (const int side : {kOld, kNew}) {
        if (!sides[side]) continue;
        sides[side]->fd = std::move(fds[side]);
        onWalkPath_[side].insert(sides[side]->identity);
    }
    visit.sides = std::move(sides);
    visit.entries = pairEntries(listings);
    walkPath_.push_back(std::move(visit));
    return true;
}

void PairedWalk::endVisit() {
    const PairVisit ended = std::move(walkPath_.back());
    walkPath_.pop_back();
    for (const int side : {kOld, kNew}) {
        if (ended.sides[side]) onWalkPath_[side].erase(ended.sides[side]->identity);
    }
    if (walkPath_.empty()) return;
    for (const int side : {kOld, kNew}) {
        if (walkPath_.back().sides[side]) {
            windows_[side].reenter(*walkPath_.back().sides[side], ended.sides[side].get());
        }
    }
}

// A folder on one side or both: its row, then, when every side holding it
// opens, its content. A side that leads back up its walk (a link to an
// ancestor) has no content here, as in a count: the other side's content is
// walked alone.
void PairedWalk::walkFolder(PairVisit& visit, const PairedEntry& entry) {
    Row row;
    row.kind = Row::Kind::FolderPair;
    row.folder = visit.shown;
    row.name = entry.shownName();
    row.sides = entry.sides();
    add(std::move(row));

    std::array<FolderRef, 2> sides;
    std::array<UniqueFd, 2> fds;
    bool descend = true;
    for (const int side : {kOld, kNew}) {
        if (!entry.present[side]) continue;
        fds[side] = openSubfolder(visit.sides[side]->fd.get(), entry.names[side]);
        if (!fds[side].valid()) {
            addFailure(visit.sides[side], entry.names[side], errno);
            descend = false;
            continue;
        }
        sides[side] = FolderNode::child(visit.sides[side], entry.names[side]);
        identifyFolder(fds[side].get(), sides[side]->identity);
        if (onWalkPath_[side].count(sides[side]->identity) != 0) {
            sides[side].reset();
            fds[side].reset();
        }
    }
    if (!descend || (!sides[kOld] && !sides[kNew])) return;
    // `visit` may not be used after this.
    startVisit(FolderNode::child(visit.shown, entry.shownName()), std::move(sides), std::move(fds));
}

void PairedWalk::addFile(PairVisit& visit, const PairedEntry& entry) {
    Row row;
    row.kind = Row::Kind::FilePair;
    row.state = Row::State::ToCount;
    row.folder = visit.shown;
    row.name = entry.shownName();
    row.sides = entry.sides();
    for (const int side : {kOld, kNew}) {
        if (!entry.present[side]) continue;
        row.sideFolders[side] = visit.sides[side];
        row.sideNames[side] = entry.names[side];
        row.sideSpecial[side] = entry.types[side] == EntryType::Special;
    }
    add(std::move(row));
}

// The next entry of the visit: a folder in one version and a file in the
// other is the file first, then the folder.
void PairedWalk::take(PairVisit& visit, PairedEntry& entry) {
    const bool isFolder[2] = {entry.present[kOld] && entry.types[kOld] == EntryType::Folder,
                              entry.present[kNew] && entry.types[kNew] == EntryType::Folder};
    const bool mixed = entry.sides() == Sides::Both && isFolder[kOld] != isFolder[kNew];
    if (mixed) {
        const int folderSide = isFolder[kOld] ? kOld : kNew;
        addFile(visit, entry.sideOnly(1 - folderSide));
        walkFolder(visit, entry.sideOnly(folderSide));
    } else if (isFolder[kOld] || isFolder[kNew]) {
        walkFolder(visit, entry);
    } else {
        addFile(visit, entry);
    }
}

void PairedWalk::run(const std::string& oldFolder, const std::string& newFolder) {
    std::array<FolderRef, 2> sides;
    std::array<UniqueFd, 2> fds;
    const std::string* roots[2] = {&oldFolder, &newFolder};
    for (const int side : {kOld, kNew}) {
        fds[side] = openFolder(*roots[side]);
        if (!fds[side].valid()) return;
        sides[side] = FolderNode::root(*roots[side]);
        identifyFolder(fds[side].get(), sides[side]->identity);
    }
    startVisit(FolderNode::root("."), std::move(sides), std::move(fds));

    while (!walkPath_.empty()) {
        PairVisit& visit = walkPath_.back();
        if (visit.next == visit.entries.size()) {
            endVisit();
            continue;
        }
        bool reachable = true;
        for (const int side : {kOld, kNew}) {
            if (visit.sides[side] && !windows_[side].reenter(*visit.sides[side], nullptr)) {
                addFailure(visit.sides[side], {}, errno);
                reachable = false;
            }
        }
        if (!reachable) {
            visit.next = visit.entries.size();
            continue;
        }
        PairedEntry entry = std::move(visit.entries[visit.next++]);
        // `visit` may not be used after this.
        take(visit, entry);
    }
    rows_.finish();
}

}  // namespace

void walkFolderPair(const std::string& oldFolder, const std::string& newFolder,
                    FileCounting& counting, WalkObserver& observer, MessageDisplay& display,
                    const WalkOptions& options) {
    RowPipeline rows(counting, observer, display, options.jobs);
    PairedWalk(rows).run(oldFolder, newFolder);
}

}  // namespace stepcount
