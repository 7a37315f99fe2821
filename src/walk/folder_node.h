// The folders of a walk: each knows its name, its parent and its descriptor,
// not its whole path, so that a tree thousands of levels deep takes memory in
// proportion to its depth, not to the square of it. A folder lives while the
// walk is inside it or a row of one of its entries is on its way to the
// observer; its full path is put together where it is needed (FolderPaths).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/directory.h"
#include "platform/file_system.h"

namespace stepcount {

class FolderNode;

// Shared ownership of a folder. Taken and dropped on the walking thread only
// (counting threads read a row's folder, they never copy it), so the count
// needs no atomic. Releasing the last owner of a deep chain releases its
// ancestors one after another, not by recursion.
class FolderRef {
public:
    FolderRef() = default;
    explicit FolderRef(FolderNode* node);
    FolderRef(const FolderRef& other);
    FolderRef(FolderRef&& other) noexcept : node_(std::exchange(other.node_, nullptr)) {}
    FolderRef& operator=(FolderRef other) noexcept;
    ~FolderRef() { reset(); }

    void reset();
    FolderNode* get() const { return node_; }
    FolderNode* operator->() const { return node_; }
    FolderNode& operator*() const { return *node_; }
    explicit operator bool() const { return node_ != nullptr; }

private:
    FolderNode* node_ = nullptr;
};

class FolderNode {
public:
    // The count folder: `path` as it was given.
    static FolderRef root(std::string path);
    // The folder `name` inside `parent`.
    static FolderRef child(const FolderRef& parent, std::string name);

    const FolderNode* parent() const { return parent_.get(); }
    // The name in the parent; for the count folder, its path as given.
    const std::string& name() const { return name_; }
    std::size_t depth() const { return depth_; }
    // The length of path() (with one-byte separators).
    std::size_t pathLength() const { return pathLength_; }
    // Tells this folder from every other of the walk, also from a later one
    // at the same address.
    std::uint64_t serial() const { return serial_; }

    // The folder's own path, put together from its ancestors' names.
    std::string path() const;

    // Open while the walk needs it; counting threads open files through it.
    UniqueFd fd;
    FolderIdentity identity;
    // How many rows the walk had given the pipeline when it last gave one
    // that names this folder.
    std::uint64_t rowsBeforeLastUse = 0;
    // Its descriptor is to be closed once the rows that use it are delivered.
    bool closePending = false;
    // For a folder of a tree that is not on disk (a repository's): its object.
    std::string objectId;

private:
    friend class FolderRef;
    FolderNode(FolderRef parent, std::string name, std::size_t depth);

    FolderRef parent_;
    std::string name_;
    std::size_t depth_;
    std::size_t pathLength_;
    std::uint64_t serial_;
    std::size_t owners_ = 0;
};

// The full paths of folders, for one thread: the path of the last folder
// asked for is kept, with its ancestors, so that the next folder costs only
// the names by which it differs (folders come in walk order).
class FolderPaths {
public:
    explicit FolderPaths(char separator = kPathSeparator) : separator_(separator) {}
    const std::string& pathOf(const FolderNode& folder);

private:
    // The folders of path_, from the count folder down.
    struct Level {
        const FolderNode* node;
        std::uint64_t serial;
    };
    bool holds(const FolderNode& folder) const;

    char separator_;
    std::deque<Level> levels_;
    std::string path_;
    std::vector<const FolderNode*> missing_;
};

}  // namespace stepcount
