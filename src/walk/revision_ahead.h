// Counting a revision of a repository ahead of its walk. Most files of a
// repository are stored as changes to others, often to files of other
// folders: read in the walk's order, the same objects would be inflated
// again and again. So the revision is walked ahead, in the walk's order,
// a batch of files at a time; each batch is counted in the order the
// repository reads its files quickest, and the walk then takes the counts,
// and the folders listed on the way, as it comes to them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "git/repository.h"
#include "walk/row_pipeline.h"

namespace stepcount {

class GitVersionSide;

class RevisionAhead {
public:
    // Whether counting ahead pays for a revision of a repository whose packs
    // hold `packed`: when its files are stored whole (a tree that was never
    // packed with its history), or in packs small enough, they are read
    // about as quickly in the walk's order, and then they are counted while
    // the walk goes on.
    static bool pays(const git::PackedObjects& packed);

    // The revision of `side`, counted on `rows` (which must outlive this),
    // `batch` files at a time.
    RevisionAhead(GitVersionSide& side, RowPipeline& rows, std::size_t batch);
    ~RevisionAhead();
    RevisionAhead(const RevisionAhead&) = delete;
    RevisionAhead& operator=(const RevisionAhead&) = delete;

    // The entries of `folder`, sorted, when they were listed ahead.
    bool listed(const FolderNode& folder, std::vector<ListedEntry>& entries);

    // What became of the walk's next file to count, `entry` of `folder`,
    // when it was counted ahead and the count can be used (not when its
    // counter told of a failure: the walk counts it, and the message comes
    // in its turn).
    bool next(const FolderRef& folder, const ListedEntry& entry, CountedFile& file);

private:
    class FolderReads;
    struct Visit;

    void enter(FolderRef folder, std::size_t index, std::shared_ptr<const std::string> path);
    void countBatch();
    void stop();

    GitVersionSide& side_;
    RowPipeline& rows_;
    std::size_t batch_;
    std::unique_ptr<FolderReads> reads_;
    std::vector<Visit> path_;
    // The folders listed ahead that the walk has not listed yet, by tree.
    std::unordered_map<std::string, std::vector<ListedEntry>> listings_;
    // The files of the batch, in the walk's order, and the walk's next one.
    std::vector<AheadFile> files_;
    std::size_t next_ = 0;
    bool over_ = false;      // no more files to count ahead
};

}  // namespace stepcount
