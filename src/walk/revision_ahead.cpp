#include "walk/revision_ahead.h"

#include <algorithm>
#include <utility>

#include "git/repository.h"
#include "walk/git_version.h"

namespace stepcount {

namespace {

// Counting ahead pays when at least this share of the objects of the
// repository's packs are deltas, and the packs hold more bytes than the
// bases that reading in the walk's order keeps (32 MiB): when they hold
// fewer, the walk's order finds most bases kept.
constexpr double kFewestDeltas = 0.25;
constexpr std::uint64_t kFewestBytes = std::uint64_t{32} << 20;

// While a batch is walked and counted ahead, its files come in their
// reading order.
class ReadingInOrder {
public:
    explicit ReadingInOrder(git::Repository& repository) : repository_(repository) {
        repository_.readsInOrder(true);
    }
    ~ReadingInOrder() { repository_.readsInOrder(false); }
    ReadingInOrder(const ReadingInOrder&) = delete;
    ReadingInOrder& operator=(const ReadingInOrder&) = delete;

private:
    git::Repository& repository_;
};

}  // namespace

// The folders for the walk ahead: those at the top of the tree read before
// it begins, a level at a time on all threads, as long as they hold fewer
// entries than a batch; the others as the walk ahead comes to them. Each
// folder is listed, its entries sorted, its files' contents and reading
// orders made.
class RevisionAhead::FolderReads {
public:
    struct File {
        std::shared_ptr<const FileContents> contents;
        std::uint64_t readingOrder = 0;
    };
    struct Folder {
        bool listed = false;
        std::vector<ListedEntry> entries;
        std::vector<File> files;   // of the entries counted, in order
        // The folders read before of the subfolders walked, in order.
        std::vector<std::size_t> subfolders;
    };
    static constexpr std::size_t kUnread = ~std::size_t{0};
    // Read before: folders for at most this many entries of a batch each.
    static constexpr std::size_t kEntriesPerFolder = 8;

    // Reads the top of the tree of `root` on the threads of `rows`.
    FolderReads(GitVersionSide& side, RowPipeline& rows, const std::string& root, std::size_t entries)
        : side_(side) {
        ids_.push_back(root);
        folders_.emplace_back();
        std::size_t level = 0;   // where the level to read begins
        std::size_t listed = 0;
        while (level < ids_.size()) {
            const std::size_t end = ids_.size();
            rows.runAlongside(end - level, [&](std::size_t i) {
                try {
                    folders_[level + i] = read(ids_[level + i]);
                } catch (...) {
                    // Not listed: the walk reads it again and tells why.
                    folders_[level + i] = Folder{};
                }
            });
            for (std::size_t i = level; i < end; ++i) listed += folders_[i].entries.size();
            // The next level, or as much of it as the folders read before
            // may take.
            const std::size_t mostFolders = std::max<std::size_t>(entries / kEntriesPerFolder, 1);
            for (std::size_t i = level; i < end && listed < entries; ++i) {
                for (const ListedEntry& entry : folders_[i].entries) {
                    if (!walked(entry) || ids_.size() == mostFolders) continue;
                    folders_[i].subfolders.push_back(ids_.size());
                    ids_.push_back(entry.objectId);
                }
            }
            folders_.resize(ids_.size());
            level = end;
        }
    }

    // The folder of the tree with `id`, read before when `index` is not
    // kUnread.
    Folder take(std::size_t index, const std::string& id) {
        if (index != kUnread) return std::move(folders_[index]);
        return read(id);
    }

    // Subfolders that the walk goes into.
    static bool walked(const ListedEntry& entry) {
        return entry.type == EntryType::Folder && entry.notice.empty();
    }

private:
    Folder read(const std::string& id) {
        Folder folder;
        folder.listed = side_.readFolder(id, folder.entries);
        if (!folder.listed) return folder;
        sortEntriesByName(folder.entries);
        git::Repository& repository = git::repositoryForThisThread(side_.repository());
        for (const ListedEntry& entry : folder.entries) {
            if (entry.type == EntryType::Folder || entry.type == EntryType::Special) continue;
            folder.files.push_back({side_.contentsOf(entry), repository.readingOrder(entry.objectId)});
        }
        return folder;
    }

    GitVersionSide& side_;
    std::vector<std::string> ids_;   // of folders_
    std::vector<Folder> folders_;    // a level after another, from the root
};

struct RevisionAhead::Visit {
    FolderRef folder;
    std::shared_ptr<const std::string> path;
    FolderReads::Folder read;
    std::size_t next = 0;         // the next entry
    std::size_t nextFile = 0;     // the next of read.files
    std::size_t nextFolder = 0;   // the next of read.subfolders
    bool kept = false;            // its entries are in listings_ already
};

RevisionAhead::RevisionAhead(GitVersionSide& side, RowPipeline& rows, std::size_t batch)
    : side_(side), rows_(rows), batch_(std::max<std::size_t>(batch, 1)) {
    FolderRef root = side_.openRoot();
    reads_ = std::make_unique<FolderReads>(side_, rows_, root->objectId, batch_);
    auto path = std::make_shared<const std::string>(root->name());
    enter(std::move(root), 0, std::move(path));
}

bool RevisionAhead::pays(const git::PackedObjects& packed) {
    return packed.deltaShare >= kFewestDeltas && packed.bytes > kFewestBytes;
}

RevisionAhead::~RevisionAhead() {
    // No counting thread is left with a file of this.
    rows_.dropOfferedAhead();
}

bool RevisionAhead::listed(const FolderNode& folder, std::vector<ListedEntry>& entries) {
    // The walk has caught up with the walk ahead: the next batch.
    if (next_ == files_.size() && !over_ && !listings_.contains(folder.objectId)) countBatch();
    const auto found = listings_.find(folder.objectId);
    if (found == listings_.end()) return false;
    entries = std::move(found->second);
    listings_.erase(found);
    return true;
}

bool RevisionAhead::next(const FolderRef& folder, const ListedEntry& entry, CountedFile& file) {
    if (next_ == files_.size() && !over_) countBatch();
    if (next_ == files_.size()) return false;
    AheadFile& ahead = files_[next_];
    // The same name in the same tree is the same file.
    if (ahead.name != entry.name || ahead.folder->objectId != folder->objectId) {
        // The walk met another tree than the one walked ahead (a folder
        // read here but not there): it counts its files itself.
        stop();
        return false;
    }
    ++next_;
    const bool counted = !ahead.told;
    if (counted) file = ahead.file;
    ahead.folder.reset();
    return counted;
}

// No more counting ahead: the walk counts the files it comes to itself,
// and lists the folders not listed yet.
void RevisionAhead::stop() {
    over_ = true;
    path_.clear();
    files_.clear();
    next_ = 0;
    reads_.reset();
}

// As the walk enters a folder, the one read before at `index` (or
// FolderReads::kUnread).
void RevisionAhead::enter(FolderRef folder, std::size_t index, std::shared_ptr<const std::string> path) {
    Visit visit;
    visit.read = reads_->take(index, folder->objectId);
    if (!visit.read.listed) return;
    visit.folder = std::move(folder);
    visit.path = std::move(path);
    path_.push_back(std::move(visit));
}

// The next files in the walk's order, counted.
void RevisionAhead::countBatch() {
    files_.clear();
    next_ = 0;
    git::Repository& repository = git::repositoryForThisThread(side_.repository());
    const ReadingInOrder inOrder(repository);
    while (files_.size() < batch_ && !path_.empty()) {
        Visit& visit = path_.back();
        std::vector<ListedEntry>& entries = visit.read.entries;
        if (visit.next == entries.size()) {
            // Kept for the walk.
            if (!visit.kept) listings_.try_emplace(visit.folder->objectId, std::move(entries));
            path_.pop_back();
            continue;
        }
        const ListedEntry& entry = entries[visit.next++];
        if (entry.type == EntryType::Folder) {
            if (!FolderReads::walked(entry)) continue;
            const std::size_t index = visit.nextFolder < visit.read.subfolders.size()
                                          ? visit.read.subfolders[visit.nextFolder++]
                                          : FolderReads::kUnread;
            bool loops = false;
            FolderRef child = side_.openChild(visit.folder, entry, loops);
            std::string path = *visit.path;
            path += kPathSeparator;
            path += entry.name;
            // `visit` may not be used after this.
            enter(std::move(child), index, std::make_shared<const std::string>(std::move(path)));
        } else if (entry.type != EntryType::Special) {
            FolderReads::File& made = visit.read.files[visit.nextFile++];
            AheadFile& file = files_.emplace_back();
            file.folder = visit.folder;
            file.folderPath = visit.path;
            file.name = entry.name;
            file.contents = std::move(made.contents);
            file.readingOrder = made.readingOrder;
        }
    }
    // The folders the walk ahead is still in, for the walk to list before
    // the next batch.
    for (Visit& visit : path_) {
        if (!visit.kept) listings_.try_emplace(visit.folder->objectId, visit.read.entries);
        visit.kept = true;
    }
    if (path_.empty()) reads_.reset();
    if (files_.empty()) {
        over_ = true;
        return;
    }
    for (AheadFile& file : files_) rows_.offerAhead(file);
    rows_.countOfferedAhead();
}

}  // namespace stepcount
