// A revision's tree in a git repository as a version that a walk goes
// through: folders are the revision's trees, files its blobs, read straight
// from the object store on the counting threads. A file's size is its blob's
// size and its last write the revision's commit time (a repository keeps no
// date per file). Symbolic links are listed uncounted, and submodules as
// folders without content, each with a notice.
#pragma once

#include <memory>
#include <string>

#include "git/repository.h"
#include "walk/paired_walk.h"
#include "walk/version_side.h"

namespace stepcount {

class RevisionAhead;

class GitVersionSide : public VersionSide {
public:
    // The tree `tree` of the repository opened at `repository`, its root
    // named `rootName` in the rows.
    GitVersionSide(std::string repository, git::RevisionTree tree, std::string rootName);
    ~GitVersionSide() override;

    // Walking the revision alone (walkVersion): its files are counted on
    // `rows` (which must outlive this) ahead of the walk, up to `batch` of
    // them at a time (see RevisionAhead).
    static constexpr std::size_t kAheadBatch = std::size_t{1} << 16;
    void countAhead(RowPipeline& rows, std::size_t batch = kAheadBatch);

    // The repository's path, and the entries of its tree `tree`, as list()
    // gives them but unsorted and read from the repository.
    const std::string& repository() const { return *repository_; }
    bool readFolder(const std::string& tree, std::vector<ListedEntry>& entries);

    FolderRef openRoot() override;
    bool list(FolderNode& folder, std::vector<ListedEntry>& entries) override;
    FolderRef openChild(const FolderRef& parent, const ListedEntry& entry, bool& loops) override;
    std::shared_ptr<const FileContents> contentsOf(const ListedEntry& entry) override;
    bool countedAhead(const FolderRef& folder, const ListedEntry& entry, CountedFile& file) override;

private:
    std::shared_ptr<const std::string> repository_;   // shared by the files' contents
    git::RevisionTree tree_;
    std::string rootName_;
    std::unique_ptr<RevisionAhead> ahead_;
};

// The revision's tree as a version of a comparison.
VersionSource gitVersion(std::string repository, git::RevisionTree tree, std::string rootName);

// Walks the revision's tree as the count walks a folder.
void walkGitTree(const std::string& repository, const git::RevisionTree& tree,
                 const std::string& rootName, FileCounting& counting, WalkObserver& observer,
                 MessageDisplay& display, const WalkOptions& options);

}  // namespace stepcount
