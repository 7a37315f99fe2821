// The packs of a repository's object store, read straight from their files:
// blobs and trees, whole or as chains of deltas, inflated by libdeflate,
// two to three times quicker than the zlib streams libgit2 reads them with.
// Reading a revision is mostly inflating its files, so this is where its
// time goes. Anything out of the ordinary (a loose object, an object of
// another repository's store, a pack written after the store was opened, a
// pack format this does not know, damaged data) is left to libgit2: a read
// here says "not here" and the caller asks libgit2.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "git/repository.h"

struct libdeflate_decompressor;

namespace stepcount::git {

class PackIndex;

// The packs of one object store as they were when it was opened; shared by
// every thread (only the kept bases change, under their lock).
class PackStore {
public:
    // The packs (`*.idx` with their `*.pack`) in the folders `packFolders`;
    // those that cannot be read, or are of a form this does not read, are
    // left out. A folder that cannot be listed gives no packs.
    explicit PackStore(const std::vector<std::string>& packFolders);
    explicit PackStore(const std::string& packFolder)
        : PackStore(std::vector<std::string>{packFolder}) {}
    ~PackStore();
    PackStore(const PackStore&) = delete;
    PackStore& operator=(const PackStore&) = delete;

    std::size_t packCount() const { return packs_.size(); }

private:
    friend class PackReader;
    class KeptBases;
    std::vector<std::unique_ptr<PackIndex>> packs_;
    // The objects read lately as the bases of deltas, for all threads:
    // the files read next are often changes to the same.
    std::unique_ptr<KeptBases> bases_;
};

// The pack folders of the object store `objectFolder` (a repository's
// "objects") and of the stores it borrows objects from (listed in its
// "info/alternates", as `git clone --shared` makes), its own first. Lines of
// a form this does not read (quoted) are left to libgit2.
std::vector<std::string> packFoldersOf(const std::string& objectFolder);

// One thread's reader of a store.
class PackReader {
public:
    explicit PackReader(std::shared_ptr<const PackStore> store);
    ~PackReader();
    PackReader(const PackReader&) = delete;
    PackReader& operator=(const PackReader&) = delete;

    // The bytes of blob `id`, valid while the returned keeper is kept;
    // nullptr when no pack of the store holds it as a blob that reads well
    // (for the caller to ask libgit2, which knows why).
    std::shared_ptr<const void> readBlob(const ObjectId& id, std::string_view& bytes);

    // The entries of tree `id`, in the tree's order; false when no pack of
    // the store holds it as a well-formed tree.
    bool readTree(const ObjectId& id, std::vector<TreeEntry>& entries);

    struct Object;

private:
    // Object `id` when a pack holds it as one of `type` that reads well.
    std::shared_ptr<const Object> read(const ObjectId& id, int type);
    // The object at `offset` of pack `pack` (its entry in the index, when
    // known, else PackIndex::kNoEntry), of at most `depth` deltas; nullptr
    // when it cannot be read here.
    std::shared_ptr<const Object> objectAt(const PackIndex& pack, std::uint64_t offset,
                                           std::uint32_t entry, int depth);
    // `result`: `base` changed by `delta`; false when the delta is damaged.
    static bool applyDelta(const Object& base, const char* delta, std::uint64_t size, Object& result);
    // Inflates the zlib stream of `length` bytes into `size` bytes; false
    // when it does not inflate to exactly that many.
    bool inflate(const unsigned char* stream, std::uint64_t length, std::uint64_t size, char* into);

    std::shared_ptr<const PackStore> store_;
    libdeflate_decompressor* decompressor_;
    std::vector<char> compressed_;      // the entry being read
};

}  // namespace stepcount::git
