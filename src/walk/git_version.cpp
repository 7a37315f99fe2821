#include "walk/git_version.h"

#include <cerrno>
#include <utility>

#include "git/blob_contents.h"
#include "walk/revision_ahead.h"
#include "walk/row_pipeline.h"

namespace stepcount {

GitVersionSide::GitVersionSide(std::string repository, git::RevisionTree tree, std::string rootName)
    : repository_(std::make_shared<const std::string>(std::move(repository))),
      tree_(std::move(tree)),
      rootName_(std::move(rootName)) {}

GitVersionSide::~GitVersionSide() = default;

void GitVersionSide::countAhead(RowPipeline& rows, std::size_t batch) {
    ahead_ = std::make_unique<RevisionAhead>(*this, rows, batch);
}

bool GitVersionSide::countedAhead(const FolderRef& folder, const ListedEntry& entry, CountedFile& file) {
    return ahead_ != nullptr && ahead_->next(folder, entry, file);
}

FolderRef GitVersionSide::openRoot() {
    FolderRef root = FolderNode::root(rootName_);
    root->objectId = tree_.tree;
    return root;
}

bool GitVersionSide::list(FolderNode& folder, std::vector<ListedEntry>& entries) {
    if (ahead_ != nullptr && ahead_->listed(folder, entries)) return true;
    return readFolder(folder.objectId, entries);
}

bool GitVersionSide::readFolder(const std::string& tree, std::vector<ListedEntry>& entries) {
    entries.clear();
    std::vector<git::TreeEntry> listed;
    try {
        listed = git::repositoryForThisThread(*repository_).list(tree);
    } catch (const git::GitError&) {
        errno = EIO;
        return false;
    }
    for (git::TreeEntry& item : listed) {
        ListedEntry& entry = entries.emplace_back();
        entry.name = std::move(item.name);
        entry.objectId = std::move(item.id);
        switch (item.kind) {
            case git::TreeEntry::Kind::Tree: entry.type = EntryType::Folder; break;
            case git::TreeEntry::Kind::File: entry.type = EntryType::RegularFile; break;
            case git::TreeEntry::Kind::Link:
                entry.type = EntryType::Special;
                entry.notice = "a symbolic link in the repository";
                break;
            case git::TreeEntry::Kind::Submodule:
                entry.type = EntryType::Folder;
                entry.notice = "a submodule (another repository), listed without its content";
                break;
        }
    }
    return true;
}

FolderRef GitVersionSide::openChild(const FolderRef& parent, const ListedEntry& entry, bool& loops) {
    loops = false;
    FolderRef child = FolderNode::child(parent, entry.name);
    child->objectId = entry.objectId;
    return child;
}

std::shared_ptr<const FileContents> GitVersionSide::contentsOf(const ListedEntry& entry) {
    std::optional<std::time_t> date;
    if (tree_.committed) date = tree_.commitTime;
    return std::make_shared<git::BlobContents>(repository_, entry.objectId, date);
}

VersionSource gitVersion(std::string repository, git::RevisionTree tree, std::string rootName) {
    return [=](RowPipeline&) -> std::unique_ptr<VersionSide> {
        return std::make_unique<GitVersionSide>(repository, tree, rootName);
    };
}

void walkGitTree(const std::string& repository, const git::RevisionTree& tree,
                 const std::string& rootName, FileCounting& counting, WalkObserver& observer,
                 MessageDisplay& display, const WalkOptions& options) {
    // The side counts on the pipeline's threads: it is let go first.
    RowPipeline rows(counting, observer, display, options.jobs);
    GitVersionSide side(repository, tree, rootName);
    if (RevisionAhead::pays(git::repositoryForThisThread(repository).packedObjects())) {
        side.countAhead(rows);
    }
    walkVersion(side, rows);
}

}  // namespace stepcount
