#include "walk/folder_node.h"

#include <atomic>

namespace stepcount {

namespace {

std::atomic<std::uint64_t> nextSerial{1};

}  // namespace

FolderRef::FolderRef(FolderNode* node) : node_(node) {
    if (node_ != nullptr) ++node_->owners_;
}

FolderRef::FolderRef(const FolderRef& other) : FolderRef(other.node_) {}

FolderRef& FolderRef::operator=(FolderRef other) noexcept {
    std::swap(node_, other.node_);
    return *this;
}

void FolderRef::reset() {
    FolderNode* node = std::exchange(node_, nullptr);
    // Each folder owns its parent: free the chain upwards as long as nothing
    // else owns it, in a loop (a recursion would overflow the stack of a
    // deep tree).
    while (node != nullptr && --node->owners_ == 0) {
        FolderNode* const parent = std::exchange(node->parent_.node_, nullptr);
        delete node;
        node = parent;
    }
}

FolderNode::FolderNode(FolderRef parent, std::string name, std::size_t depth)
    : parent_(std::move(parent)), name_(std::move(name)), depth_(depth),
      pathLength_(parent_ ? parent_->pathLength_ + 1 + name_.size() : name_.size()),
      serial_(nextSerial.fetch_add(1, std::memory_order_relaxed)) {}

FolderRef FolderNode::root(std::string path) {
    return FolderRef(new FolderNode(FolderRef(), std::move(path), 0));
}

FolderRef FolderNode::child(const FolderRef& parent, std::string name) {
    return FolderRef(new FolderNode(parent, std::move(name), parent->depth_ + 1));
}

std::string FolderNode::path() const {
    FolderPaths paths;
    return paths.pathOf(*this);
}

bool FolderPaths::holds(const FolderNode& folder) const {
    const std::size_t depth = folder.depth();
    return depth < levels_.size() && levels_[depth].node == &folder &&
           levels_[depth].serial == folder.serial();
}

const std::string& FolderPaths::pathOf(const FolderNode& folder) {
    // The folders from `folder` up to the first one held already.
    missing_.clear();
    const FolderNode* node = &folder;
    while (node != nullptr && !holds(*node)) {
        missing_.push_back(node);
        node = node->parent();
    }
    levels_.resize(node == nullptr ? 0 : node->depth() + 1);
    path_.resize(node == nullptr ? 0 : node->pathLength());
    for (auto it = missing_.rbegin(); it != missing_.rend(); ++it) {
        const FolderNode& added = **it;
        if (added.depth() > 0) path_ += separator_;
        path_ += added.name();
        levels_.push_back({&added, added.serial()});
    }
    return path_;
}

}  // namespace stepcount
