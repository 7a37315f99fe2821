// Reading the trees and files of a git repository's revisions straight from
// its object store (packed or loose), never writing them to disk.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace stepcount::git {

// A repository, revision or folder that cannot be found or read; the message
// names what was not found.
class GitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Whether this build can read repositories.
bool available();

// An object of the repository: its id's raw bytes.
using ObjectId = std::string;

// An entry of a tree.
struct TreeEntry {
    enum class Kind : std::uint8_t {
        Tree,        // a folder
        File,        // a file (a blob)
        Link,        // a symbolic link (a blob holding its target)
        Submodule,   // another repository's commit
    };
    std::string name;
    Kind kind;
    ObjectId id;
};

// The objects of a repository's packs: how many, their bytes in the packs,
// and the share of them stored as changes to others (deltas), from a sample.
struct PackedObjects {
    std::uint64_t count = 0;
    std::uint64_t bytes = 0;
    double deltaShare = 0;
};

// A revision's tree, or a folder inside it.
struct RevisionTree {
    ObjectId tree;
    std::time_t commitTime = 0;   // when the revision was committed
    // Whether the revision named a commit (a tag, a branch, a commit id):
    // a tree named by its id or by a path ("v1:src") has no commit time.
    bool committed = false;
};

class Repository {
public:
    // Opens the repository at `path`: a work tree, a bare repository, or any
    // folder inside a work tree. GitError when there is none.
    static std::unique_ptr<Repository> open(const std::string& path);
    virtual ~Repository() = default;

    // The tree of `revision` (anything git understands: a tag, a branch, a
    // commit id, "HEAD~3"), or of `subfolder` inside it when not empty.
    // GitError naming what was not found: an unknown revision, a revision
    // that names a file, a subfolder that is not there or is no folder.
    virtual RevisionTree resolve(const std::string& revision, const std::string& subfolder) = 0;

    // The entries of a tree, in any order.
    virtual std::vector<TreeEntry> list(const ObjectId& tree) = 0;

    // The bytes of a file, and their number in `size`: held whole, or, for
    // a large file stored whole, a stream of them (which throws GitError
    // when they turn out damaged). GitError when the repository does not
    // hold it (a partial clone) or it cannot be read (damaged).
    virtual LoadedContents read(const ObjectId& blob, std::uint64_t& size) = 0;

    // A key by which to read many files of the repository quickly: read in
    // ascending order of their keys, the files stored as changes to others
    // inflate fewest objects. Files it does not hold come last.
    virtual std::uint64_t readingOrder(const ObjectId& blob) = 0;

    // What the repository's packs hold.
    virtual PackedObjects packedObjects() = 0;

    // Says that the files read next, by any thread, come in their reading
    // order (or no longer do): objects read for one file are kept for the
    // next few alone, which takes less memory.
    virtual void readsInOrder(bool inOrder) = 0;

    // The folder the repository was opened by (for each thread to open it
    // again), and its work tree (empty for a bare repository).
    virtual const std::string& openedAt() const = 0;
    virtual std::string workTree() const = 0;
};

// The calling thread's own copy of the repository opened at `path`: a
// repository is used by one thread at a time.
Repository& repositoryForThisThread(const std::string& path);

}  // namespace stepcount::git
