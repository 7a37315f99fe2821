// A repository's object store read straight from its files: blobs and
// trees of its packs, whole or as chains of deltas, and its loose objects,
// inflated by libdeflate, two to three times quicker than the zlib streams
// libgit2 reads them with. Reading a revision is mostly inflating its files,
// so this is where its time goes. Anything out of the ordinary (a pack
// written after the store was opened, a pack format this does not know,
// damaged data) is left to libgit2: a read here says "not here" and the
// caller asks libgit2.
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
    // The object stores `objectFolders` (a repository's "objects" and those
    // it borrows from): their packs (`pack/*.idx` with their `*.pack`) and
    // their loose objects. Packs that cannot be read, or are of a form this
    // does not read, are left out; so is a folder that cannot be listed.
    explicit PackStore(std::vector<std::string> objectFolders);
    ~PackStore();
    PackStore(const PackStore&) = delete;
    PackStore& operator=(const PackStore&) = delete;

    std::size_t packCount() const { return packs_.size(); }

private:
    friend class PackReader;
    class KeptBases;
    std::vector<std::string> objectFolders_;
    std::vector<std::unique_ptr<PackIndex>> packs_;
    // The objects read lately as the bases of deltas, for all threads:
    // the files read next are often changes to the same.
    std::unique_ptr<KeptBases> bases_;
};

// The object store `objectFolder` (a repository's "objects") and the stores
// it borrows objects from (listed in its "info/alternates", as `git clone
// --shared` makes), its own first, each once. Lines of a form this does not
// read (quoted) are left to libgit2.
std::vector<std::string> objectFoldersOf(const std::string& objectFolder);

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
    // Object `id` when a store holds it as one of `type` that reads well.
    std::shared_ptr<const Object> read(const ObjectId& id, int type);
    // Object `id` from the pack that holds it (of whatever type), or else
    // loose; throws std::bad_alloc or std::length_error for a size that no
    // memory holds.
    std::shared_ptr<const Object> readStored(const ObjectId& id, int type);
    // Object `id` when a store holds it loose as one of `type` that reads
    // well.
    std::shared_ptr<const Object> readLoose(const ObjectId& id, int type);
    // The object at `offset` of pack `pack` (its entry in the index, when
    // known, else PackIndex::kNoEntry), of at most `depth` deltas; nullptr
    // when it cannot be read here.
    std::shared_ptr<const Object> objectAt(const PackIndex& pack, std::uint64_t offset,
                                           std::uint32_t entry, int depth);
    // `result`: `base` changed by `delta`; false when the delta is damaged.
    static bool applyDelta(const Object& base, const char* delta, std::uint64_t size, Object& result);
    // Inflates the zlib stream of `length` bytes of a pack's entry, whose
    // CRC-32 has been checked, into `size` bytes; false when it does not
    // inflate to exactly that many.
    bool inflate(const unsigned char* stream, std::uint64_t length, std::uint64_t size, char* into);

    std::shared_ptr<const PackStore> store_;
    libdeflate_decompressor* decompressor_;
    // For streams that begin with a block of the fixed codes (most short
    // ones): it keeps the tables of those codes from one stream to the next.
    libdeflate_decompressor* fixedCodesDecompressor_;
    std::vector<char> compressed_;      // the entry being read
};

}  // namespace stepcount::git
