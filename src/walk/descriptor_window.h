// The descriptors of the folders on a walk path. Counting threads open files
// through their folder's descriptor, and the walk opens subfolders through
// it; a deep tree must not run out of descriptors, so only the folders of the
// last kOpenFolders levels keep theirs open. A folder that leaves the window
// gives its descriptor up once the rows in flight that open files through it
// are delivered, and opens it again when the walk comes back.
#pragma once

#include <cstddef>
#include <deque>

#include "walk/folder_node.h"
#include "walk/row_pipeline.h"

namespace stepcount {

class DescriptorWindow {
public:
    static constexpr std::size_t kOpenFolders = 64;

    explicit DescriptorWindow(RowPipeline& rows) : rows_(rows) {}

    // A row that opens a file through `folder`'s descriptor was just added.
    void used(FolderNode& folder);

    // `folder` leaves the window as the walk goes one level deeper: its
    // descriptor is closed now, or once the rows that use it are delivered.
    void release(const FolderRef& folder);

    // The walk is back in `folder`: it is open, or opened again (through the
    // ".." of `leftChild`, the folder the walk leaves, when that one is open,
    // or by its path). False, with errno set, when it is gone or no longer
    // the same folder.
    bool reenter(FolderNode& folder, const FolderNode* leftChild);

    // Closes the descriptors whose rows have been delivered.
    void closeDue();

private:
    RowPipeline& rows_;
    // Folders out of the window whose descriptors wait for rows in flight.
    std::deque<FolderRef> pending_;
};

}  // namespace stepcount
