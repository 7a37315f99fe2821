// A repository's object store read straight from its files: blobs and
// trees of its packs, whole or as chains of deltas, and its loose objects,
// inflated by libdeflate, two to three times quicker than the zlib streams
// libgit2 reads them with. Reading a revision is mostly inflating its files,
// so this is where its time goes. A large blob stored whole is inflated a
// piece at a time (by zlib) as it is read, never held whole. Anything out
// of the ordinary (a pack written after the store was opened, a pack
// format this does not know, damaged data) is left to libgit2: a read here
// says "not here" and the caller asks libgit2.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "git/repository.h"

struct libdeflate_decompressor;
struct z_stream_s;

namespace stepcount::git {

class PackIndex;

// The bytes of a blob stored whole, inflated a piece at a time from its
// zlib stream in a file: a blob too large to be held whole. The stream is
// checked as it ends (its entry's CRC-32 in a pack, zlib's own sum): a
// damaged one throws GitError.
class InflatingStream final : public ContentStream {
public:
    // The zlib stream at [from, end) of the open file `fd`, which `owner`
    // keeps open, inflating to `skipped` bytes to leave out and `size`
    // bytes of the blob. `crc`, when not null: what the CRC-32 of the
    // entry, `crcSoFar` for its bytes before `from`, must come to.
    InflatingStream(std::shared_ptr<const void> owner, int fd, std::uint64_t from, std::uint64_t end,
                    std::uint64_t skipped, std::uint64_t size, const std::uint32_t* crc,
                    std::uint32_t crcSoFar);
    ~InflatingStream() override;
    InflatingStream(const InflatingStream&) = delete;
    InflatingStream& operator=(const InflatingStream&) = delete;

    std::uint64_t size() const { return size_; }
    std::size_t read(char* buffer, std::size_t size) override;

private:
    // Inflates into `into` up to `room` bytes (into nothing past the blob's
    // end, where the stream must end): how many.
    std::size_t inflateInto(char* into, std::size_t room);
    // Inflates exactly `size` bytes into `into`; throws GitError when the
    // stream ends before.
    void inflateExactly(char* into, std::size_t size);
    // Checks the stream as it ended; throws GitError when it is damaged.
    void finish();

    std::shared_ptr<const void> owner_;
    int fd_;
    std::uint64_t at_;   // the next byte of the file to read
    std::uint64_t end_;
    std::uint64_t skipped_;
    std::uint64_t size_;
    std::uint64_t given_ = 0;   // bytes of the blob read so far
    bool checksCrc_;
    std::uint32_t crc_;
    std::uint32_t crcSoFar_;
    bool ended_ = false;     // zlib came to the stream's end
    bool checked_ = false;   // and it was found whole
    std::unique_ptr<z_stream_s> zlib_;
    std::vector<unsigned char> input_;
};

// The packs of one object store as they were when it was opened; shared by
// every thread (only the kept bases change, under their lock).
class PackStore {
public:
    // The object stores `objectFolders` (a repository's "objects" and those
    // it borrows from): their packs (`pack/*.idx` with their `*.pack`) and
    // their loose objects. Packs that cannot be read, or are of a form this
    // does not read, are left out; so is a folder that cannot be listed.
    // Blobs stored whole of more bytes than `streamedSize` are read a piece
    // at a time where the caller asks for that (PackReader::readBlob).
    static constexpr std::uint64_t kStreamedSize = std::uint64_t{8} << 20;
    explicit PackStore(std::vector<std::string> objectFolders,
                       std::uint64_t streamedSize = kStreamedSize);
    ~PackStore();
    PackStore(const PackStore&) = delete;
    PackStore& operator=(const PackStore&) = delete;

    std::size_t packCount() const { return packs_.size(); }

private:
    friend class PackReader;
    class KeptBases;
    std::vector<std::string> objectFolders_;
    std::uint64_t streamedSize_;
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
    // (for the caller to ask libgit2, which knows why). When `stream` is
    // given, a blob stored whole of more bytes than the store's streamed
    // size is not read: `*stream` is set to a stream of its bytes instead
    // (and nullptr returned).
    std::shared_ptr<const void> readBlob(const ObjectId& id, std::string_view& bytes,
                                         std::unique_ptr<InflatingStream>* stream = nullptr);

    // The entries of tree `id`, in the tree's order; false when no pack of
    // the store holds it as a well-formed tree.
    bool readTree(const ObjectId& id, std::vector<TreeEntry>& entries);

    // Where object `id` lies in the store, as a key to read many objects by
    // (see Repository::readingOrder).
    std::uint64_t readingOrder(const ObjectId& id) const;

    // What the store's packs hold (see Repository::packedObjects).
    PackedObjects packedObjects() const;

    // Whether the objects read next come in their reading order; while a
    // reader says so, fewer are kept for the reads to come.
    void readsInOrder(bool inOrder);

    struct Object;

private:
    // Object `id` when a store holds it as one of `type` that reads well;
    // for `stream`, see readBlob.
    std::shared_ptr<const Object> read(const ObjectId& id, int type,
                                       std::unique_ptr<InflatingStream>* stream);
    // Object `id` from the pack that holds it (of whatever type), or else
    // loose; throws std::bad_alloc or std::length_error for a size that no
    // memory holds.
    std::shared_ptr<const Object> readStored(const ObjectId& id, int type,
                                             std::unique_ptr<InflatingStream>* stream);
    // Object `id` when a store holds it loose as one of `type` that reads
    // well.
    std::shared_ptr<const Object> readLoose(const ObjectId& id, int type,
                                            std::unique_ptr<InflatingStream>* stream);
    // A stream of the blob stored whole at `offset` of `pack` (its entry
    // ending at `end`, of CRC-32 `crc`) when it has more bytes than the
    // streamed size; nullptr for any other object, or one that does not
    // read well.
    std::unique_ptr<InflatingStream> streamOfLarge(const PackIndex& pack, std::uint64_t offset,
                                                   std::uint64_t end, std::uint32_t crc);
    // The object at `offset` of pack `pack` (its entry in the index, when
    // known, else PackIndex::kNoEntry), of at most `depth` deltas; nullptr
    // when it cannot be read here. For `stream`, see readBlob.
    std::shared_ptr<const Object> objectAt(const PackIndex& pack, std::uint64_t offset,
                                           std::uint32_t entry, int depth,
                                           std::unique_ptr<InflatingStream>* stream = nullptr);
    // `result`: `base` changed by `delta`; false when the delta is damaged.
    static bool applyDelta(const Object& base, const char* delta, std::uint64_t size, Object& result);
    // The `length` bytes of the entry at `offset` of `pack`, valid until the
    // next entry is read; nullptr when they cannot be read.
    const char* entryAt(const PackIndex& pack, std::uint64_t offset, std::uint64_t length);
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
    // The bytes of a pack from `start` on, read for the entries that come
    // before the last one read; where that one lies, and how it was come to.
    struct Window {
        const PackIndex* pack = nullptr;
        std::uint64_t start = 0;
        std::vector<char> bytes;
    };
    Window window_;
    const PackIndex* lastPack_ = nullptr;
    std::uint64_t lastOffset_ = 0;
    int stepsBack_ = 0;   // entries in a row read a little before the last
    // The deltas of the chain being read, down to the one whose base is
    // being read.
    struct ChainLink {
        const PackIndex* pack;
        std::uint64_t offset;
        friend bool operator==(const ChainLink&, const ChainLink&) = default;
    };
    std::vector<ChainLink> chain_;
    bool inOrder_ = false;
};

}  // namespace stepcount::git
