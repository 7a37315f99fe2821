#include "walk/descriptor_window.h"

#include <cerrno>

namespace stepcount {

namespace {

// Descriptors left open beyond the window for rows in flight that still need
// them (with several jobs); past this many the walk waits for those rows.
constexpr std::size_t kPendingLimit = 192;

// Gives `folder` the descriptor `fd` when it is still that folder.
bool adopt(FolderNode& folder, UniqueFd fd) {
    FolderIdentity identity;
    if (!fd.valid() || !identifyFolder(fd.get(), identity) || identity != folder.identity) {
        return false;
    }
    folder.fd = std::move(fd);
    return true;
}

}  // namespace

void DescriptorWindow::used(FolderNode& folder) {
    folder.rowsBeforeLastUse = rows_.added();
    if (!pending_.empty()) closeDue();
}

void DescriptorWindow::release(const FolderRef& folder) {
    if (!folder->fd.valid() || folder->closePending) return;
    if (rows_.delivered() >= folder->rowsBeforeLastUse) {
        folder->fd.reset();
        return;
    }
    folder->closePending = true;
    pending_.push_back(folder);
    if (pending_.size() > kPendingLimit) {
        rows_.deliverUpTo(pending_.front()->rowsBeforeLastUse);
        closeDue();
    }
}

void DescriptorWindow::closeDue() {
    while (!pending_.empty()) {
        FolderNode& folder = *pending_.front();
        if (folder.closePending) {
            if (rows_.delivered() < folder.rowsBeforeLastUse) return;
            folder.fd.reset();
            folder.closePending = false;
        }
        pending_.pop_front();
    }
}

bool DescriptorWindow::reenter(FolderNode& folder, const FolderNode* leftChild) {
    if (folder.closePending) {
        folder.closePending = false;   // still open: it stays so
        return true;
    }
    if (folder.fd.valid()) return true;
    // One step however long the path is; by the path when that ".." is
    // another folder, as it is below a link.
    if (leftChild != nullptr && leftChild->fd.valid() &&
        adopt(folder, openSubfolder(leftChild->fd.get(), ".."))) {
        return true;
    }
    UniqueFd fd = openFolder(folder.path());
    const int failure = fd.valid() ? kFolderReplacedError : errno;
    if (adopt(folder, std::move(fd))) return true;
    errno = failure;
    return false;
}

}  // namespace stepcount
