// One version of a tree in a comparison, as the walk over two versions goes
// through it: a folder tree on disk, or the tree of a revision in a
// repository. The walk asks each side the same things; what a side keeps
// open, and how it lists and opens, is its own.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/directory.h"
#include "walk/folder_node.h"
#include "walk/row_pipeline.h"

namespace stepcount {

class VersionSide {
public:
    virtual ~VersionSide() = default;

    // The root, named as the side's messages name it; nothing, with errno
    // set, when it cannot be opened.
    virtual FolderRef openRoot() = 0;

    // Lists `folder`, every entry's type known (Unreachable: it cannot be
    // inspected), in any order; false, with errno set, when it cannot be read.
    virtual bool list(FolderNode& folder, std::vector<ListedEntry>& entries) = 0;

    // Opens the subfolder `entry` of `parent`: nothing, with errno set, when
    // it cannot be opened; `loops` when it leads back to a folder on the walk
    // path (it is listed then, not walked).
    virtual FolderRef openChild(const FolderRef& parent, const ListedEntry& entry, bool& loops) = 0;

    // The walk path: a folder is entered, one leaves the window of the
    // folders kept open as the walk goes deeper, a folder ends (the walk is
    // back in `parent`, when any), the walk goes on in `folder`.
    virtual void entered(const FolderRef& /*folder*/) {}
    virtual void leavesWindow(const FolderRef& /*folder*/) {}
    virtual void ended(const FolderRef& /*folder*/, FolderNode* /*parent*/) {}
    virtual bool reenter(FolderNode& /*folder*/) { return true; }

    // Rows: the file `entry` of `folder` is given to a row as this side's
    // version (index 0 OLD, 1 NEW); after a row is added, what it uses.
    virtual void fill(Row& row, int index, const FolderRef& folder, const ListedEntry& entry);
    virtual void added(FolderNode* /*usedFolder*/) {}

    // The bytes of the file `entry`, when they are not read from the file
    // system.
    virtual std::shared_ptr<const FileContents> contentsOf(const ListedEntry& /*entry*/) {
        return nullptr;
    }

    // Walking one version: what became of the file `entry` of `folder`,
    // the next file to count in the walk, when the side counted it ahead.
    virtual bool countedAhead(const FolderRef& /*folder*/, const ListedEntry& /*entry*/,
                              CountedFile& /*file*/) {
        return false;
    }
};

// Walks one version as the count walks a folder: every entry in name order,
// each folder's row followed at once by its content, files counted on the
// counting threads; entries listed but not counted are told (onNotice).
// Used for trees that are not on disk.
void walkVersion(VersionSide& side, RowPipeline& rows);

// A folder tree on disk: folders are opened relative to their parent and
// kept open within a window of the walk path; links that lead back up are
// not walked.
class FolderVersionSide : public VersionSide {
public:
    // The tree at `root`, without the entry `leftOut` of the root itself
    // when one is named (a work tree's .git).
    FolderVersionSide(std::string root, RowPipeline& rows, std::string leftOut = {});
    ~FolderVersionSide() override;

    FolderRef openRoot() override;
    bool list(FolderNode& folder, std::vector<ListedEntry>& entries) override;
    FolderRef openChild(const FolderRef& parent, const ListedEntry& entry, bool& loops) override;
    void entered(const FolderRef& folder) override;
    void leavesWindow(const FolderRef& folder) override;
    void ended(const FolderRef& folder, FolderNode* parent) override;
    bool reenter(FolderNode& folder) override;
    void added(FolderNode* usedFolder) override;

private:
    struct State;
    std::string root_;
    std::string leftOut_;
    std::unique_ptr<State> state_;
};

}  // namespace stepcount
