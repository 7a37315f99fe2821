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
#include "walk/version_side.h"

namespace stepcount {

namespace {

constexpr int kOld = 0;
constexpr int kNew = 1;

// An entry of a folder pair: its name in each version that holds it, and
// what it is there.
struct PairedEntry {
    std::array<bool, 2> present{};
    std::array<ListedEntry, 2> listed;   // as each version lists it
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
        entry.listed[side] = listed[side];
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
    // A version whose folder is there but could not be read: what the other
    // version holds is listed, its files unread.
    std::array<bool, 2> lost{};
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
        entry.names = {old.name, added.name};
        entry.listed = {std::move(old), std::move(added)};
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
                entry.names[side] = listed.name;
                entry.listed[side] = std::move(listed);
            }
            entries.push_back(std::move(entry));
            continue;
        }
        for (const int side : {kOld, kNew}) {
            for (const std::size_t i : candidates.indices[side]) {
                PairedEntry entry;
                entry.present[side] = true;
                entry.types[side] = listings[side][i].type;
                entry.names[side] = listings[side][i].name;
                entry.listed[side] = std::move(listings[side][i]);
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
    PairedWalk(RowPipeline& rows, VersionSide& oldSide, VersionSide& newSide)
        : rows_(rows), sides_{&oldSide, &newSide} {}

    void run();

private:
    void add(Row&& row);
    void addFailure(const FolderRef& folder, std::string name, int failure);
    void addNotice(const FolderRef& shown, const PairedEntry& entry);
    bool startVisit(FolderRef shown, std::array<FolderRef, 2> folders, std::array<bool, 2> lost);
    void endVisit();
    void walkFolder(PairVisit& visit, const PairedEntry& entry);
    void addFile(PairVisit& visit, const PairedEntry& entry);
    void take(PairVisit& visit, PairedEntry& entry);

    RowPipeline& rows_;
    std::array<VersionSide*, 2> sides_;
    std::deque<PairVisit> walkPath_;
};

void PairedWalk::add(Row&& row) {
    std::array<FolderNode*, 2> used{};
    if (row.kind == Row::Kind::FilePair) {
        for (const int side : {kOld, kNew}) {
            if (row.sideFolders[side] && !row.sideSpecial[side]) used[side] = row.sideFolders[side].get();
        }
    }
    rows_.add(std::move(row));
    for (const int side : {kOld, kNew}) sides_[side]->added(used[side]);
}

void PairedWalk::addFailure(const FolderRef& folder, std::string name, int failure) {
    Row row;
    row.kind = Row::Kind::FolderFailure;
    row.failure = failure;
    row.folder = folder;
    row.name = std::move(name);
    add(std::move(row));
}

// An entry listed but not counted or not walked (a link or a submodule of a
// repository): the user is told why.
void PairedWalk::addNotice(const FolderRef& shown, const PairedEntry& entry) {
    for (const int side : {kOld, kNew}) {
        if (!entry.present[side] || entry.listed[side].notice.empty()) continue;
        Row row;
        row.kind = Row::Kind::Notice;
        row.folder = shown;
        row.name = entry.names[side];
        row.notice = entry.listed[side].notice;
        add(std::move(row));
        return;
    }
}

// Starts the visit of a folder pair opened on the sides it has: lists them
// and pairs their entries. A side that cannot be listed has its failure told
// and is lost here: the other side's content is listed, its files unread.
// False when no side is left.
bool PairedWalk::startVisit(FolderRef shown, std::array<FolderRef, 2> folders,
                            std::array<bool, 2> lost) {
    std::array<std::vector<ListedEntry>, 2> listings;
    for (const int side : {kOld, kNew}) {
        if (folders[side] && !sides_[side]->list(*folders[side], listings[side])) {
            addFailure(folders[side], {}, errno);
            folders[side].reset();
            listings[side].clear();
            lost[side] = true;
        }
    }
    if (!folders[kOld] && !folders[kNew]) return false;
    if (walkPath_.size() >= DescriptorWindow::kOpenFolders) {
        const PairVisit& leaving = walkPath_[walkPath_.size() - DescriptorWindow::kOpenFolders];
        for (const int side : {kOld, kNew}) {
            if (leaving.sides[side]) sides_[side]->leavesWindow(leaving.sides[side]);
        }
    }
    PairVisit visit;
    visit.shown = std::move(shown);
    for (const int side : {kOld, kNew}) {
        if (folders[side]) sides_[side]->entered(folders[side]);
    }
    visit.sides = std::move(folders);
    visit.lost = lost;
    visit.entries = pairEntries(listings);
    walkPath_.push_back(std::move(visit));
    return true;
}

void PairedWalk::endVisit() {
    const PairVisit ended = std::move(walkPath_.back());
    walkPath_.pop_back();
    for (const int side : {kOld, kNew}) {
        if (!ended.sides[side]) continue;
        FolderNode* parent = walkPath_.empty() ? nullptr : walkPath_.back().sides[side].get();
        sides_[side]->ended(ended.sides[side], parent);
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
    row.sides = visit.lost[kOld] || visit.lost[kNew] ? Sides::Both : entry.sides();
    add(std::move(row));

    std::array<FolderRef, 2> folders;
    std::array<bool, 2> lost = visit.lost;
    bool descend = true;
    for (const int side : {kOld, kNew}) {
        if (!entry.present[side]) continue;
        if (!entry.listed[side].notice.empty()) {
            descend = false;   // a submodule: listed, not walked
            continue;
        }
        bool loops = false;
        folders[side] = sides_[side]->openChild(visit.sides[side], entry.listed[side], loops);
        if (!folders[side]) {
            // Its content is unknown: what the other version holds there is
            // listed, its files unread.
            addFailure(visit.sides[side], entry.names[side], errno);
            lost[side] = true;
        } else if (loops) {
            folders[side].reset();
        }
    }
    addNotice(visit.shown, entry);
    if (!descend || (!folders[kOld] && !folders[kNew])) return;
    // `visit` may not be used after this.
    startVisit(FolderNode::child(visit.shown, entry.shownName()), std::move(folders), lost);
}

void PairedWalk::addFile(PairVisit& visit, const PairedEntry& entry) {
    Row row;
    row.kind = Row::Kind::FilePair;
    row.state = Row::State::ToCount;
    row.folder = visit.shown;
    row.name = entry.shownName();
    row.sides = entry.sides();
    for (const int side : {kOld, kNew}) {
        if (entry.present[side]) sides_[side]->fill(row, side, visit.sides[side], entry.listed[side]);
        row.sideLost[side] = visit.lost[side];
    }
    if (visit.lost[kOld] || visit.lost[kNew]) row.sides = Sides::Both;
    add(std::move(row));
    addNotice(visit.shown, entry);
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

void PairedWalk::run() {
    std::array<FolderRef, 2> roots;
    for (const int side : {kOld, kNew}) {
        roots[side] = sides_[side]->openRoot();
        if (!roots[side]) return;
    }
    startVisit(FolderNode::root("."), std::move(roots), {});

    while (!walkPath_.empty()) {
        PairVisit& visit = walkPath_.back();
        if (visit.next == visit.entries.size()) {
            endVisit();
            continue;
        }
        bool reachable = true;
        for (const int side : {kOld, kNew}) {
            if (visit.sides[side] && !sides_[side]->reenter(*visit.sides[side])) {
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

void walkVersions(const VersionSource& oldSource, const VersionSource& newSource,
                  FileCounting& counting, WalkObserver& observer, MessageDisplay& display,
                  const WalkOptions& options) {
    RowPipeline rows(counting, observer, display, options.jobs);
    const std::unique_ptr<VersionSide> oldSide = oldSource(rows);
    const std::unique_ptr<VersionSide> newSide = newSource(rows);
    PairedWalk(rows, *oldSide, *newSide).run();
}

VersionSource folderVersion(std::string folder, std::string leftOut) {
    return [folder = std::move(folder),
            leftOut = std::move(leftOut)](RowPipeline& rows) -> std::unique_ptr<VersionSide> {
        return std::make_unique<FolderVersionSide>(folder, rows, leftOut);
    };
}

}  // namespace stepcount
