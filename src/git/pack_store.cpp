#include "git/pack_store.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <list>
#include <mutex>
#include <unordered_map>
#include <new>
#include <stdexcept>

#include "platform/directory.h"
#include "platform/exception.h"
#include "platform/file_system.h"

namespace stepcount::git {

namespace {

constexpr std::size_t kIdSize = 20;
constexpr std::size_t kFanoutSize = 256 * 4;
constexpr std::size_t kIndexHeaderSize = 8;
constexpr std::size_t kChecksumSize = 20;
constexpr std::size_t kPackHeaderSize = 12;

// Object types of a pack's entries.
enum EntryType : int {
    kCommit = 1,
    kTree = 2,
    kBlob = 3,
    kTag = 4,
    kOffsetDelta = 6,   // changes to the object that many bytes before it
    kReferenceDelta = 7,   // changes to the object of a given id
};

// Longer chains than git ever writes (its limit is 4095) are damage.
constexpr int kDeepestChain = 4096;

// What is kept for later deltas: objects up to a size, within a total that
// shrinks as more threads read (each holds the files it counts), so that
// the whole stays about the same at any -j.
constexpr std::uint64_t kKeptObjectLimit = std::uint64_t{1} << 20;
constexpr std::uint64_t kKeptTotalLimit = std::uint64_t{32} << 20;
constexpr std::uint64_t kKeptTotalFloor = std::uint64_t{8} << 20;
constexpr std::uint64_t kKeptPerReader = std::uint64_t{2} << 20;
constexpr std::uint64_t kReadersWithin = 4;   // readers that the whole total allows
// What is kept while objects are read in their reading order: a chain's
// objects come one after the other, so that the next read needs the last
// few alone.
constexpr std::uint64_t kKeptInOrderLimit = std::uint64_t{8} << 20;
// Loose objects of more bytes than these, in their file or inflated, are
// left to libgit2.
constexpr std::uint64_t kLooseFileLimit = std::uint64_t{1} << 30;
constexpr std::uint64_t kLooseObjectLimit = std::uint64_t{4} << 30;
// Tries for the lock of the kept bases before a thread waits for it.
constexpr int kLockTries = 200;
// The most of a delta's base asked into the processor's caches before the
// delta is applied.
constexpr std::uint64_t kPrefetchedBaseLimit = std::uint64_t{256} << 10;
// The read buffer of a thread is given back after a larger object.
constexpr std::size_t kBufferKeptLimit = std::size_t{4} << 20;
// No zlib stream inflates to more than this many times its length (at best
// deflate codes 258 bytes in 2 bits), so an entry shorter than a streamed
// blob's size by this much is never of one.
constexpr std::uint64_t kMostInflation = 1032;
// The compressed bytes of a streamed blob are read this many at a time.
constexpr std::size_t kStreamInput = std::size_t{256} << 10;
// The most bytes of an object's type, size and base before its data.
constexpr std::size_t kEntryHeadLimit = 32;
// Entries looked at to tell what share of a store's objects are deltas.
constexpr std::uint64_t kDeltaSamples = 64;
// The bytes of a pack read at once for entries read from its end back,
// once so many entries in a row were each read a little before the last.
constexpr std::uint64_t kWindow = std::uint64_t{256} << 10;
constexpr int kStepsBackToWindow = 3;
// Reading orders: the pack's rank in the store above the place in it.
constexpr int kOffsetBits = 48;
constexpr std::uint64_t kOrderedOffsets = (std::uint64_t{1} << kOffsetBits) - 1;
constexpr std::uint64_t kOrderedPacks = std::uint64_t{1} << (64 - kOffsetBits);
constexpr std::uint64_t kUnplaced = ~std::uint64_t{0};   // loose, or not in the store

std::uint32_t bigEndian32(const unsigned char* bytes) {
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

// The most bytes a zlib stream of `size` bytes can take (zlib's
// compressBound), and a little more: an object that takes more is damaged.
std::uint64_t streamBound(std::uint64_t size) {
    return size + (size >> 12) + (size >> 14) + (size >> 25) + 64;
}

// Reads the whole of an open file of `size` bytes into `bytes` (a vector
// or string of bytes); false when it cannot.
template <typename Bytes>
bool readWhole(int fd, std::uint64_t size, Bytes& bytes) {
    bytes.resize(size);
    const std::int64_t got = readFileAt(fd, reinterpret_cast<char*>(bytes.data()), size, 0);
    return got == static_cast<std::int64_t>(size);
}

// Objects and deltas are held with this many bytes to spare after their
// own: the pieces of a delta are copied in blocks of 64 bytes, which may
// run past a piece's end, into what the next piece overwrites or into
// these bytes.
constexpr std::size_t kSpare = 64;

std::unique_ptr<char[]> withSpare(std::uint64_t size) {
    if (size > std::numeric_limits<std::size_t>::max() - kSpare) throw std::bad_alloc();
    auto bytes = std::make_unique_for_overwrite<char[]>(size + kSpare);
    std::memset(bytes.get() + size, 0, kSpare);
    return bytes;
}

// Copies `length` bytes from `from` to `to`; at both, `kSpare` bytes more
// than those may be touched. Most pieces of a delta are short, and a call
// of memcpy for each takes longer than the copy: a piece is copied 64 bytes
// at a time (the first block whatever its length, so that the length decides
// no branch for most), only a long one by memcpy.
inline void copyPiece(char* to, const char* from, std::uint64_t length) {
    std::memcpy(to, from, 64);
    if (length <= 64) return;
    if (length > 256) {
        std::memcpy(to + 64, from + 64, length - 64);
        return;
    }
    for (std::uint64_t done = 64; done < length; done += 64) std::memcpy(to + done, from + done, 64);
}

// Decodes the variable-length sizes of a delta's header.
bool deltaSize(const unsigned char*& at, const unsigned char* end, std::uint64_t& size) {
    size = 0;
    for (int shift = 0; at < end && shift < 64; shift += 7) {
        const unsigned char byte = *at++;
        size |= std::uint64_t{byte & 0x7Fu} << shift;
        if ((byte & 0x80) == 0) return true;
    }
    return false;
}

// Decodes the type and size that begin a pack's entry, from `at` (moved past
// them) to `end`; false when they run past `end` or the size past 64 bits.
bool entryHead(const unsigned char*& at, const unsigned char* end, int& type, std::uint64_t& size) {
    if (at == end) return false;
    unsigned char byte = *at++;
    type = (byte >> 4) & 7;
    size = byte & 0x0F;
    for (int shift = 4; (byte & 0x80) != 0; shift += 7) {
        if (at == end || shift > 57) return false;
        byte = *at++;
        size |= std::uint64_t{byte & 0x7Fu} << shift;
    }
    return true;
}

// Where an entry of a pack lies, and the CRC-32 of its bytes there.
struct EntrySpan {
    std::uint64_t offset = 0;
    std::uint64_t end = 0;   // where the next entry begins
    std::uint32_t crc = 0;
};

// The first eight bytes after the first of an object id, as a number: ids
// are evenly spread, so this tells about where in a run of ids one lies.
std::uint64_t idPrefix(const unsigned char* id) {
    std::uint64_t prefix = 0;
    for (int i = 1; i <= 8; ++i) prefix = (prefix << 8) | id[i];
    return prefix;
}

// Sorts `numbers`, none of more than `bits` bits, 11 bits at a time (a
// radix sort): the starts of a pack's objects are sorted before its first
// object can be read, and this is several times quicker than std::sort.
void sortNumbers(std::vector<std::uint64_t>& numbers, int bits) {
    constexpr int kDigitBits = 11;
    constexpr std::uint64_t kDigitMask = (std::uint64_t{1} << kDigitBits) - 1;
    std::vector<std::uint64_t> sorted(numbers.size());
    std::vector<std::size_t> starts(kDigitMask + 2);
    for (int shift = 0; shift < bits; shift += kDigitBits) {
        std::fill(starts.begin(), starts.end(), 0);
        for (const std::uint64_t number : numbers) ++starts[((number >> shift) & kDigitMask) + 1];
        for (std::size_t digit = 1; digit < starts.size(); ++digit) starts[digit] += starts[digit - 1];
        for (const std::uint64_t number : numbers) sorted[starts[(number >> shift) & kDigitMask]++] = number;
        numbers.swap(sorted);
    }
}

// The head of a loose object: "TYPE SIZE" and a zero byte.
struct LooseHead {
    int type = 0;
    std::uint64_t size = 0;
    std::size_t length = 0;   // of the head, its zero byte included
};

// The head at the start of `inflated`, the first bytes of a loose object;
// false when they hold no well-formed head.
bool readLooseHead(std::string_view inflated, LooseHead& head) {
    const std::size_t space = inflated.find(' ');
    const std::size_t end = inflated.find('\0');
    if (space == std::string_view::npos || end == std::string_view::npos || end <= space + 1 ||
        end - space - 1 > 19) {
        return false;
    }
    const std::string_view kind = inflated.substr(0, space);
    head.type = kind == "blob" ? kBlob : kind == "tree" ? kTree
              : kind == "commit" ? kCommit : kind == "tag" ? kTag : 0;
    head.size = 0;
    for (const char digit : inflated.substr(space + 1, end - space - 1)) {
        if (digit < '0' || digit > '9') return false;
        head.size = head.size * 10 + static_cast<std::uint64_t>(digit - '0');
    }
    head.length = end + 1;
    return true;
}

// A stream of the loose object in `file` (`length` bytes) when it is a blob
// of more than `streamedSize` bytes, `file` then moved into it; nullptr
// otherwise.
std::unique_ptr<InflatingStream> streamOfLargeLoose(UniqueFd& file, std::uint64_t length,
                                                    std::uint64_t streamedSize) {
    // Its head is in the first bytes the stream inflates to.
    unsigned char start[1024];
    const auto read = static_cast<std::size_t>(std::min<std::uint64_t>(length, sizeof start));
    if (readFileAt(file.get(), reinterpret_cast<char*>(start), read, 0) !=
        static_cast<std::int64_t>(read)) {
        return nullptr;
    }
    char inflated[64];
    z_stream zlib{};
    if (inflateInit(&zlib) != Z_OK) return nullptr;
    zlib.next_in = start;
    zlib.avail_in = static_cast<uInt>(read);
    zlib.next_out = reinterpret_cast<Bytef*>(inflated);
    zlib.avail_out = sizeof inflated;
    const int result = inflate(&zlib, Z_NO_FLUSH);
    const std::size_t got = sizeof inflated - zlib.avail_out;
    inflateEnd(&zlib);
    LooseHead head;
    if ((result != Z_OK && result != Z_STREAM_END) ||
        !readLooseHead(std::string_view(inflated, got), head) || head.type != kBlob ||
        head.size <= streamedSize) {
        return nullptr;
    }
    auto owner = std::make_shared<UniqueFd>(std::move(file));
    return std::make_unique<InflatingStream>(owner, owner->get(), 0, length, head.length, head.size,
                                             nullptr, 0);
}

}  // namespace

// One pack: its index (read whole: the ids in order, and where each object
// starts) and its data file.
class PackIndex {
public:
    static constexpr std::uint32_t kNoEntry = ~std::uint32_t{0};

    // The pack of index `indexPath` and data `packPath`, or nullptr when
    // either cannot be read or they are of a form this does not read
    // (version 2 indexes only; version 1 is older than 2008's git).
    static std::unique_ptr<PackIndex> open(const std::string& indexPath, const std::string& packPath) {
        auto pack = std::unique_ptr<PackIndex>(new PackIndex);
        try {
            FileFacts facts;
            UniqueFd index = openRegularFileForReading(FileLocation(indexPath), facts);
            if (!readWhole(index.get(), facts.size, pack->index_)) return nullptr;
            pack->data_ = openRegularFileForReading(FileLocation(packPath), facts);
            pack->dataSize_ = facts.size;
        } catch (const Exception&) {
            return nullptr;
        } catch (const std::bad_alloc&) {
            return nullptr;   // an index larger than memory holds
        }
        return pack->check() ? std::move(pack) : nullptr;
    }

    // The entry of the object `id` in the index; false when this pack does
    // not hold it. Ids are evenly spread, so the search guesses where the
    // id lies from its value and those of the ids around (two or three
    // reads of a large index rather than twenty); whenever a guess did not
    // halve the range the next step halves it, so that a skewed index
    // costs no more than twice a bisection.
    bool find(const unsigned char* id, std::uint32_t& entry) const {
        std::uint32_t low = id[0] == 0 ? 0 : fanout(id[0] - 1);
        std::uint32_t high = fanout(id[0]);   // past the last candidate
        const std::uint64_t key = idPrefix(id);
        // The keys about [low, high): at first those any id could have.
        std::uint64_t lowKey = 0;
        std::uint64_t highKey = ~std::uint64_t{0};
        bool guess = true;
        while (low < high) {
            std::uint32_t middle = low + (high - low) / 2;
            if (guess && high - low > 2) {
                if (key <= lowKey) {
                    middle = low;
                } else if (key >= highKey) {
                    middle = high - 1;
                } else {
                    // The distances cut to 32 bits: their ratio is close
                    // enough for a guess, and the product fits.
                    const int shift = std::max(0, 32 - std::countl_zero(highKey - lowKey));
                    const std::uint64_t part = (key - lowKey) >> shift;
                    const std::uint64_t whole = ((highKey - lowKey) >> shift) + 1;
                    const std::uint64_t across = high - 1 - low;
                    middle = low + static_cast<std::uint32_t>(across * part / whole);
                }
            }
            const std::uint32_t before = high - low;
            const unsigned char* const candidate = idAt(middle);
            const std::uint64_t candidateKey = idPrefix(candidate);
            int order = key < candidateKey ? -1 : key > candidateKey ? 1 : 0;
            if (order == 0) order = std::memcmp(id + 9, candidate + 9, kIdSize - 9);
            if (order == 0) {
                entry = middle;
                return true;
            }
            if (order > 0) {
                low = middle + 1;
                lowKey = candidateKey;
            } else {
                high = middle;
                highKey = candidateKey;
            }
            guess = high - low <= before / 2;
        }
        return false;
    }

    // Where entry `entry` lies; false when the index says no good place.
    bool spanOf(std::uint32_t entry, EntrySpan& span) const {
        if (!offsetOf(entry, span.offset)) return false;
        span.end = endAt(positions_[entry]);
        span.crc = bigEndian32(crcs_ + std::size_t{entry} * 4);
        return true;
    }

    // Where the entry that starts at `offset` lies; false when none does.
    bool spanAt(std::uint64_t offset, EntrySpan& span) const {
        if (std::bit_width(offset) + entryBits_ > 64) return false;   // no object starts there
        const auto found = std::lower_bound(starts_.begin(), starts_.end(), offset << entryBits_);
        if (found == starts_.end() || (*found >> entryBits_) != offset) return false;
        span.offset = offset;
        span.end = endAt(static_cast<std::size_t>(found - starts_.begin()));
        span.crc = bigEndian32(crcs_ + std::size_t{*found & entryMask()} * 4);
        return true;
    }

    // Where entry `entry` starts in the data file; false when the index
    // says no good place.
    bool offsetOf(std::uint32_t entry, std::uint64_t& offset) const {
        const std::uint32_t small = bigEndian32(offsets_ + std::size_t{entry} * 4);
        if ((small & 0x80000000u) == 0) {
            offset = small;
        } else {
            const std::uint32_t large = small & 0x7FFFFFFFu;
            if (large >= largeCount_) return false;
            const unsigned char* at = largeOffsets_ + std::size_t{large} * 8;
            offset = (std::uint64_t{bigEndian32(at)} << 32) | bigEndian32(at + 4);
        }
        return offset >= kPackHeaderSize && offset < objectsEnd();
    }

    int data() const { return data_.get(); }
    std::uint32_t objectCount() const { return fanout(255); }
    // Where the objects end: the data file's checksum follows them.
    std::uint64_t objectsEnd() const { return dataSize_ - kChecksumSize; }

private:
    PackIndex() = default;

    std::uint32_t fanout(int byte) const {
        return bigEndian32(index_.data() + kIndexHeaderSize + std::size_t(byte) * 4);
    }

    const unsigned char* idAt(std::uint32_t entry) const {
        return ids_ + std::size_t{entry} * kIdSize;
    }

    // Where the object at `position` of the data file's order ends.
    std::uint64_t endAt(std::size_t position) const {
        return position + 1 == starts_.size() ? objectsEnd() : starts_[position + 1] >> entryBits_;
    }

    std::uint64_t entryMask() const { return (std::uint64_t{1} << entryBits_) - 1; }

    // Whether the index is a well-formed version 2 index of the data file.
    bool check() {
        static constexpr unsigned char kMagic[] = {0xFF, 't', 'O', 'c', 0, 0, 0, 2};
        const std::size_t size = index_.size();
        if (size < kIndexHeaderSize + kFanoutSize + 2 * kChecksumSize ||
            std::memcmp(index_.data(), kMagic, sizeof kMagic) != 0) {
            return false;
        }
        for (int byte = 1; byte < 256; ++byte) {
            if (fanout(byte) < fanout(byte - 1)) return false;
        }
        const std::uint64_t count = fanout(255);
        const std::uint64_t fixed = kIndexHeaderSize + kFanoutSize + count * (kIdSize + 8) +
                                    2 * kChecksumSize;
        if (fixed > size || (size - fixed) % 8 != 0) return false;
        ids_ = index_.data() + kIndexHeaderSize + kFanoutSize;
        crcs_ = ids_ + count * kIdSize;
        offsets_ = crcs_ + count * 4;
        largeOffsets_ = offsets_ + count * 4;
        largeCount_ = (size - fixed) / 8;

        // The data file: "PACK", version 2 or 3, as many objects, and the
        // checksum the index was made for.
        unsigned char header[kPackHeaderSize];
        unsigned char checksum[kChecksumSize];
        if (dataSize_ < kPackHeaderSize + kChecksumSize ||
            readFileAt(data(), reinterpret_cast<char*>(header), sizeof header, 0) !=
                static_cast<std::int64_t>(sizeof header) ||
            readFileAt(data(), reinterpret_cast<char*>(checksum), sizeof checksum, objectsEnd()) !=
                static_cast<std::int64_t>(sizeof checksum)) {
            return false;
        }
        const std::uint32_t version = bigEndian32(header + 4);
        if (std::memcmp(header, "PACK", 4) != 0 || (version != 2 && version != 3) ||
            bigEndian32(header + 8) != count ||
            std::memcmp(checksum, index_.data() + size - 2 * kChecksumSize, kChecksumSize) != 0) {
            return false;
        }
        // Where each object starts, in order, for where each ends: an offset
        // and an entry make one number, the offset in the high bits and the
        // entry in as many low bits as entries need (a pack too large for
        // the two is left to libgit2).
        entryBits_ = static_cast<int>(std::bit_width(count));
        starts_.resize(count);
        std::uint64_t bitsUsed = 0;
        for (std::uint32_t entry = 0; entry < count; ++entry) {
            std::uint64_t offset = 0;
            if (!offsetOf(entry, offset) || std::bit_width(offset) + entryBits_ > 64) return false;
            starts_[entry] = (offset << entryBits_) | entry;
            bitsUsed |= starts_[entry];
        }
        sortNumbers(starts_, static_cast<int>(std::bit_width(bitsUsed)));
        positions_.resize(count);
        for (std::uint32_t position = 0; position < count; ++position) {
            positions_[starts_[position] & entryMask()] = position;
        }
        return true;
    }

    std::vector<unsigned char> index_;
    const unsigned char* ids_ = nullptr;
    const unsigned char* crcs_ = nullptr;
    const unsigned char* offsets_ = nullptr;
    const unsigned char* largeOffsets_ = nullptr;
    std::uint64_t largeCount_ = 0;
    UniqueFd data_;
    std::uint64_t dataSize_ = 0;
    // The objects in the order they lie in the data file (where each starts,
    // shifted left by `entryBits_`, and its entry in the index), and the
    // place of each entry in that order.
    int entryBits_ = 0;
    std::vector<std::uint64_t> starts_;
    std::vector<std::uint32_t> positions_;
};

namespace {

// Reads the head of the entry at [offset, end) of `pack` into `head` and
// decodes its type and size: how many bytes the head takes, 0 when it
// cannot be read.
std::size_t readEntryHead(const PackIndex& pack, std::uint64_t offset, std::uint64_t end,
                          unsigned char (&head)[kEntryHeadLimit], int& type, std::uint64_t& size) {
    const std::uint64_t length = std::min<std::uint64_t>(end - offset, sizeof head);
    if (readFileAt(pack.data(), reinterpret_cast<char*>(head), length, offset) !=
        static_cast<std::int64_t>(length)) {
        return 0;
    }
    const unsigned char* at = head;
    if (!entryHead(at, head + length, type, size)) return 0;
    return static_cast<std::size_t>(at - head);
}

}  // namespace

struct PackReader::Object {
    int type = 0;
    std::uint64_t size = 0;
    std::unique_ptr<char[]> bytes;
};

// Objects by their pack and where they start there, the most recently used
// kept within a total size.
class PackStore::KeptBases {
public:
    using Object = PackReader::Object;

    void readerStarts() {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++readers_;
    }
    void readerEnds() {
        const std::lock_guard<std::mutex> lock(mutex_);
        --readers_;
    }
    void readsInOrder(bool inOrder) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (inOrder) {
            ++inOrder_;
        } else if (inOrder_ > 0) {
            --inOrder_;
        }
    }

    std::shared_ptr<const Object> find(const PackIndex& pack, std::uint64_t offset) {
        const std::unique_lock<std::mutex> lock = lockSoon();
        const auto found = at_.find(Key{&pack, offset});
        if (found == at_.end()) return nullptr;
        order_.splice(order_.begin(), order_, found->second);
        return found->second->object;
    }

    void keep(const PackIndex& pack, std::uint64_t offset, std::shared_ptr<const Object> object) {
        if (object->size > kKeptObjectLimit) return;
        // The new entry is made, and the objects given up for it are freed,
        // outside the lock: the other threads look up their every object
        // under it.
        const Key key{&pack, offset};
        std::list<Kept> added;
        added.push_back(Kept{key, std::move(object)});
        std::list<Kept> givenUp;
        const std::unique_lock<std::mutex> lock = lockSoon();
        if (at_.contains(key)) return;   // another thread read it too
        bytes_ += added.front().object->size;
        order_.splice(order_.begin(), added);
        at_[key] = order_.begin();
        while (bytes_ > limit()) {
            bytes_ -= order_.back().object->size;
            at_.erase(order_.back().key);
            givenUp.splice(givenUp.end(), order_, std::prev(order_.end()));
        }
    }

private:
    struct Key {
        const PackIndex* pack;
        std::uint64_t offset;
        friend bool operator==(const Key&, const Key&) = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const {
            return std::hash<std::uint64_t>()(key.offset) ^ std::hash<const void*>()(key.pack);
        }
    };
    struct Kept {
        Key key;
        std::shared_ptr<const Object> object;
    };

    // The lock, tried for a little while before the thread waits for it: it
    // is held only for a lookup, and a thread put to sleep and woken again
    // costs more than many lookups.
    std::unique_lock<std::mutex> lockSoon() {
        for (int tries = 0; tries < kLockTries; ++tries) {
            if (mutex_.try_lock()) return std::unique_lock<std::mutex>(mutex_, std::adopt_lock);
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        return std::unique_lock<std::mutex>(mutex_);
    }

    std::uint64_t limit() const {
        if (inOrder_ > 0) return kKeptInOrderLimit;
        if (readers_ <= kReadersWithin) return kKeptTotalLimit;
        const std::uint64_t less = (readers_ - kReadersWithin) * kKeptPerReader;
        return less + kKeptTotalFloor >= kKeptTotalLimit ? kKeptTotalFloor : kKeptTotalLimit - less;
    }

    std::mutex mutex_;
    std::uint64_t readers_ = 0;
    std::uint64_t inOrder_ = 0;   // readers reading in reading order
    std::list<Kept> order_;   // the most recently used first
    std::unordered_map<Key, std::list<Kept>::iterator, KeyHash> at_;
    std::uint64_t bytes_ = 0;
};

PackStore::PackStore(std::vector<std::string> objectFolders, std::uint64_t streamedSize)
    : objectFolders_(std::move(objectFolders)),
      streamedSize_(streamedSize),
      bases_(std::make_unique<KeptBases>()) {
    for (const std::string& objectFolder : objectFolders_) {
        const std::string packFolder = objectFolder + "/pack";
        const UniqueFd folder = openFolder(packFolder);
        std::vector<ListedEntry> entries;
        if (!folder.valid() || !listFolder(folder.get(), entries)) continue;
        for (const ListedEntry& entry : entries) {
            const std::string& name = entry.name;
            if (!name.starts_with("pack-") || !name.ends_with(".idx")) continue;
            const std::string base = packFolder + '/' + name.substr(0, name.size() - 4);
            if (auto pack = PackIndex::open(base + ".idx", base + ".pack")) {
                packs_.push_back(std::move(pack));
            }
        }
    }
}

namespace {

// Git follows alternates of alternates this deep.
constexpr int kDeepestAlternates = 5;
// An alternates file longer than this is no list of a few folders.
constexpr std::uint64_t kAlternatesLimit = 64 * 1024;

// The lines of the alternates file of `objectFolder`; none when it has none.
std::vector<std::string> alternatesOf(const std::string& objectFolder) {
    std::vector<std::string> lines;
    std::string text;
    try {
        FileFacts facts;
        const UniqueFd file =
            openRegularFileForReading(FileLocation(objectFolder + "/info/alternates"), facts);
        if (facts.size > kAlternatesLimit || !readWhole(file.get(), facts.size, text)) return lines;
    } catch (const Exception&) {
        return lines;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#' && line[0] != '"') lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// Adds `objectFolder` and the stores it borrows from, each once however it
// is named, to `objectFolders`; `seen`: the stores already added.
void addObjectFolders(const std::string& objectFolder, int depth, std::vector<FolderIdentity>& seen,
                      std::vector<std::string>& objectFolders) {
    FolderIdentity identity;
    const UniqueFd folder = openFolder(objectFolder);
    if (!folder.valid() || !identifyFolder(folder.get(), identity) ||
        std::find(seen.begin(), seen.end(), identity) != seen.end()) {
        return;
    }
    seen.push_back(identity);
    objectFolders.push_back(objectFolder);
    if (depth == kDeepestAlternates) return;
    for (const std::string& alternate : alternatesOf(objectFolder)) {
        // A relative path is relative to the store that lists it.
        addObjectFolders(alternate[0] == '/' ? alternate : objectFolder + '/' + alternate,
                         depth + 1, seen, objectFolders);
    }
}

}  // namespace

std::vector<std::string> objectFoldersOf(const std::string& objectFolder) {
    std::vector<FolderIdentity> seen;
    std::vector<std::string> objectFolders;
    addObjectFolders(objectFolder, 0, seen, objectFolders);
    return objectFolders;
}

PackStore::~PackStore() = default;

PackReader::PackReader(std::shared_ptr<const PackStore> store)
    : store_(std::move(store)),
      decompressor_(libdeflate_alloc_decompressor()),
      fixedCodesDecompressor_(libdeflate_alloc_decompressor()) {
    if (decompressor_ == nullptr || fixedCodesDecompressor_ == nullptr) {
        libdeflate_free_decompressor(decompressor_);
        libdeflate_free_decompressor(fixedCodesDecompressor_);
        throw std::bad_alloc();
    }
    store_->bases_->readerStarts();
}

PackReader::~PackReader() {
    readsInOrder(false);
    store_->bases_->readerEnds();
    libdeflate_free_decompressor(decompressor_);
    libdeflate_free_decompressor(fixedCodesDecompressor_);
}

std::shared_ptr<const PackReader::Object> PackReader::read(const ObjectId& id, int type,
                                                           std::unique_ptr<InflatingStream>* stream) {
    if (id.size() != kIdSize) return nullptr;
    std::shared_ptr<const Object> object;
    chain_.clear();   // of a read that failed part way
    try {
        object = readStored(id, type, stream);
    } catch (const std::bad_alloc&) {
        object = nullptr;   // a size no memory holds: damage, most likely
    } catch (const std::length_error&) {
        object = nullptr;
    }
    if (compressed_.capacity() > kBufferKeptLimit) std::vector<char>().swap(compressed_);
    return object != nullptr && object->type == type ? object : nullptr;
}

std::shared_ptr<const PackReader::Object> PackReader::readStored(
    const ObjectId& id, int type, std::unique_ptr<InflatingStream>* stream) {
    const auto* raw = reinterpret_cast<const unsigned char*>(id.data());
    for (const auto& pack : store_->packs_) {
        std::uint32_t entry = 0;
        std::uint64_t offset = 0;
        if (!pack->find(raw, entry)) continue;
        if (!pack->offsetOf(entry, offset)) return nullptr;
        return objectAt(*pack, offset, entry, kDeepestChain, stream);
    }
    return readLoose(id, type, stream);
}

PackedObjects PackReader::packedObjects() const {
    PackedObjects packed;
    for (const auto& pack : store_->packs_) {
        packed.count += pack->objectCount();
        packed.bytes += pack->objectsEnd() - kPackHeaderSize;
    }
    if (packed.count == 0) return packed;
    // Entries spread evenly over the packs, by id: a sample of all.
    const std::uint64_t samples = std::min<std::uint64_t>(packed.count, kDeltaSamples);
    std::uint64_t deltas = 0;
    for (std::uint64_t sample = 0; sample < samples; ++sample) {
        std::uint64_t entry = sample * packed.count / samples;
        for (const auto& pack : store_->packs_) {
            if (entry >= pack->objectCount()) {
                entry -= pack->objectCount();
                continue;
            }
            EntrySpan span;
            unsigned char head[kEntryHeadLimit];
            int type = 0;
            std::uint64_t size = 0;
            deltas += pack->spanOf(static_cast<std::uint32_t>(entry), span) && span.end > span.offset &&
                      readEntryHead(*pack, span.offset, span.end, head, type, size) != 0 &&
                      (type == kOffsetDelta || type == kReferenceDelta);
            break;
        }
    }
    packed.deltaShare = static_cast<double>(deltas) / static_cast<double>(samples);
    return packed;
}

void PackReader::readsInOrder(bool inOrder) {
    if (inOrder != inOrder_) store_->bases_->readsInOrder(inOrder);
    inOrder_ = inOrder;
}

std::uint64_t PackReader::readingOrder(const ObjectId& id) const {
    if (id.size() != kIdSize) return kUnplaced;
    const auto* raw = reinterpret_cast<const unsigned char*>(id.data());
    for (std::size_t rank = 0; rank < store_->packs_.size(); ++rank) {
        const PackIndex& pack = *store_->packs_[rank];
        std::uint32_t entry = 0;
        std::uint64_t offset = 0;
        if (!pack.find(raw, entry)) continue;
        if (!pack.offsetOf(entry, offset) || rank >= kOrderedPacks || offset > kOrderedOffsets) break;
        // Git writes the objects of a delta's chain one after another, each
        // base before the deltas made from it: read from the end of the
        // pack back, every delta comes before its base, which is then kept
        // for the next one, so that each object of the chain is inflated
        // once.
        return (std::uint64_t{rank} << kOffsetBits) | (kOrderedOffsets - offset);
    }
    return kUnplaced;
}

std::unique_ptr<InflatingStream> PackReader::streamOfLarge(const PackIndex& pack, std::uint64_t offset,
                                                           std::uint64_t end, std::uint32_t crc) {
    unsigned char head[kEntryHeadLimit];
    int type = 0;
    std::uint64_t size = 0;
    const std::size_t headLength = readEntryHead(pack, offset, end, head, type, size);
    if (headLength == 0 || type != kBlob || size <= store_->streamedSize_) return nullptr;
    const auto crcSoFar = static_cast<std::uint32_t>(libdeflate_crc32(0, head, headLength));
    return std::make_unique<InflatingStream>(store_, pack.data(), offset + headLength, end, 0, size,
                                             &crc, crcSoFar);
}

std::shared_ptr<const PackReader::Object> PackReader::readLoose(
    const ObjectId& id, int type, std::unique_ptr<InflatingStream>* stream) {
    // objects/ab/cdef...: the id in hexadecimal, its first two digits a folder.
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string name;
    for (const unsigned char byte : id) {
        name += kDigits[byte >> 4];
        name += kDigits[byte & 15];
        if (name.size() == 2) name += '/';
    }
    for (const std::string& folder : store_->objectFolders_) {
        FileFacts facts;
        UniqueFd file;
        try {
            file = openRegularFileForReading(FileLocation(folder + '/' + name), facts);
        } catch (const Exception&) {
            continue;   // not in this store
        }
        // A zlib stream of "TYPE SIZE", a zero byte and the content.
        if (stream != nullptr && facts.size > store_->streamedSize_ / kMostInflation) {
            *stream = streamOfLargeLoose(file, facts.size, store_->streamedSize_);
            if (*stream != nullptr) return nullptr;
        }
        if (facts.size == 0 || facts.size > kLooseFileLimit ||
            !readWhole(file.get(), facts.size, compressed_)) {
            return nullptr;
        }
        // The stream does not say how much it holds: room for text that
        // inflates to four times its size, more while it does not fit.
        for (std::uint64_t room = facts.size * 4 + 64; room <= kLooseObjectLimit; room *= 4) {
            auto bytes = withSpare(room);
            std::size_t inflated = 0;
            const libdeflate_result result = libdeflate_zlib_decompress(
                decompressor_, compressed_.data(), facts.size, bytes.get(), room, &inflated);
            if (result == LIBDEFLATE_INSUFFICIENT_SPACE) continue;
            if (result != LIBDEFLATE_SUCCESS) return nullptr;
            LooseHead head;
            if (!readLooseHead(std::string_view(bytes.get(), inflated), head) || head.type != type ||
                head.size != inflated - head.length) {
                return nullptr;
            }
            const std::uint64_t size = head.size;
            auto object = std::make_shared<Object>();
            object->type = type;
            object->size = size;
            // The content to the front, its spare bytes after it.
            std::memmove(bytes.get(), bytes.get() + head.length, size);
            std::memset(bytes.get() + size, 0, kSpare);
            object->bytes = std::move(bytes);
            return object;
        }
        return nullptr;
    }
    return nullptr;
}

std::shared_ptr<const void> PackReader::readBlob(const ObjectId& id, std::string_view& bytes,
                                                 std::unique_ptr<InflatingStream>* stream) {
    std::shared_ptr<const Object> object = read(id, kBlob, stream);
    if (object != nullptr) bytes = std::string_view(object->bytes.get(), object->size);
    return object;
}

bool PackReader::readTree(const ObjectId& id, std::vector<TreeEntry>& entries) {
    const std::shared_ptr<const Object> tree = read(id, kTree, nullptr);
    if (tree == nullptr) return false;
    // Entries of an octal mode, a space, the name, a zero byte and the
    // object's id.
    std::string_view rest(tree->bytes.get(), tree->size);
    entries.clear();
    while (!rest.empty()) {
        const std::size_t space = rest.find(' ');
        const std::size_t end = rest.find('\0');
        if (space == 0 || space == std::string_view::npos || end == std::string_view::npos ||
            end <= space + 1 || rest.size() - end - 1 < kIdSize) {
            return false;
        }
        std::uint32_t mode = 0;
        for (const char digit : rest.substr(0, space)) {
            if (digit < '0' || digit > '7' || mode > 0777777) return false;
            mode = mode * 8 + static_cast<std::uint32_t>(digit - '0');
        }
        TreeEntry entry;
        switch (mode & 0170000) {
            case 0040000: entry.kind = TreeEntry::Kind::Tree; break;
            case 0120000: entry.kind = TreeEntry::Kind::Link; break;
            case 0160000: entry.kind = TreeEntry::Kind::Submodule; break;
            default: entry.kind = TreeEntry::Kind::File; break;
        }
        entry.name = rest.substr(space + 1, end - space - 1);
        entry.id = rest.substr(end + 1, kIdSize);
        entries.push_back(std::move(entry));
        rest.remove_prefix(end + 1 + kIdSize);
    }
    return true;
}

std::shared_ptr<const PackReader::Object> PackReader::objectAt(
    const PackIndex& pack, std::uint64_t offset, std::uint32_t entry, int depth,
    std::unique_ptr<InflatingStream>* stream) {
    if (auto object = store_->bases_->find(pack, offset)) return object;
    if (depth <= 0) return nullptr;

    // The whole entry, read at once: its type and size, for a delta where
    // its base is, then the zlib stream of its content or of the delta.
    // Its CRC-32, kept in the index, tells a damaged entry (a changed size
    // or base could otherwise give other bytes that inflate well).
    EntrySpan span;
    const bool placed =
        entry == PackIndex::kNoEntry ? pack.spanAt(offset, span) : pack.spanOf(entry, span);
    // Two entries of a damaged index may start at one offset: none is empty.
    if (!placed || span.end <= offset) return nullptr;
    const std::uint64_t length = span.end - offset;
    // An entry too short to be of a streamed blob is read at once.
    if (stream != nullptr && length > store_->streamedSize_ / kMostInflation) {
        *stream = streamOfLarge(pack, offset, span.end, span.crc);
        if (*stream != nullptr) return nullptr;
    }
    const char* const entryBytes = entryAt(pack, offset, length);
    if (entryBytes == nullptr || libdeflate_crc32(0, entryBytes, length) != span.crc) return nullptr;
    const auto* at = reinterpret_cast<const unsigned char*>(entryBytes);
    const unsigned char* const end = at + length;
    int type = 0;
    std::uint64_t size = 0;
    if (!entryHead(at, end, type, size)) return nullptr;

    std::uint64_t baseOffset = 0;
    std::uint32_t baseEntry = PackIndex::kNoEntry;
    if (type == kOffsetDelta) {
        if (at == end) return nullptr;
        unsigned char byte = *at++;
        std::uint64_t distance = byte & 0x7F;
        while ((byte & 0x80) != 0) {
            if (at == end || distance > (~std::uint64_t{0} >> 8)) return nullptr;
            byte = *at++;
            distance = ((distance + 1) << 7) | (byte & 0x7F);
        }
        if (distance == 0 || distance > offset) return nullptr;
        baseOffset = offset - distance;
    } else if (type == kReferenceDelta) {
        if (end - at < static_cast<std::ptrdiff_t>(kIdSize) || !pack.find(at, baseEntry) ||
            !pack.offsetOf(baseEntry, baseOffset)) {
            return nullptr;
        }
        // A base on the chain being read leads back to itself: a loop, which
        // only damage makes. (The bases named by their offset lie before
        // their deltas: a loop has a base named by id, and it is found here
        // at most one turn later.)
        if (baseOffset == offset || std::find(chain_.begin(), chain_.end(),
                                              ChainLink{&pack, baseOffset}) != chain_.end()) {
            return nullptr;
        }
        at += kIdSize;
    } else if (type != kCommit && type != kTree && type != kBlob && type != kTag) {
        return nullptr;
    }
    // A stream longer than its content can take is damage.
    const auto zlibLength = static_cast<std::uint64_t>(end - at);
    if (zlibLength > streamBound(size)) return nullptr;

    auto object = std::make_shared<Object>();
    if (type != kOffsetDelta && type != kReferenceDelta) {
        object->type = type;
        object->size = size;
        object->bytes = withSpare(size);
        if (!inflate(at, zlibLength, size, object->bytes.get())) return nullptr;
    } else {
        // The delta first: reading the base reuses the buffer.
        const auto delta = withSpare(size);
        if (!inflate(at, zlibLength, size, delta.get())) return nullptr;
        chain_.push_back(ChainLink{&pack, offset});
        const std::shared_ptr<const Object> base = objectAt(pack, baseOffset, baseEntry, depth - 1);
        chain_.pop_back();
        if (base == nullptr || !applyDelta(*base, delta.get(), size, *object)) return nullptr;
    }
    if (depth < kDeepestChain) store_->bases_->keep(pack, offset, object);
    return object;
}

const char* PackReader::entryAt(const PackIndex& pack, std::uint64_t offset, std::uint64_t length) {
    const std::uint64_t end = offset + length;
    if (window_.pack == &pack && offset >= window_.start && end <= window_.start + window_.bytes.size()) {
        lastOffset_ = offset;
        return window_.bytes.data() + (offset - window_.start);
    }
    // Entries read from the end of the pack back (files read in their
    // reading order, and the bases of their deltas): many for one read of
    // the file, a window that ends with this entry. A single step back is
    // most often a delta's base, its file read in another order.
    const bool goingBack = lastPack_ == &pack && offset < lastOffset_ && lastOffset_ - offset < kWindow;
    stepsBack_ = goingBack ? stepsBack_ + 1 : 0;
    lastPack_ = &pack;
    lastOffset_ = offset;
    if (stepsBack_ >= kStepsBackToWindow && length <= kWindow / 4) {
        const std::uint64_t start = end > kWindow ? end - kWindow : 0;
        window_.pack = nullptr;
        window_.bytes.resize(end - start);
        if (readFileAt(pack.data(), window_.bytes.data(), end - start, start) !=
            static_cast<std::int64_t>(end - start)) {
            return nullptr;
        }
        window_.pack = &pack;
        window_.start = start;
        return window_.bytes.data() + (offset - start);
    }
    compressed_.resize(length);
    if (readFileAt(pack.data(), compressed_.data(), length, offset) != static_cast<std::int64_t>(length)) {
        return nullptr;
    }
    return compressed_.data();
}

bool PackReader::applyDelta(const Object& base, const char* delta, std::uint64_t size, Object& result) {
    // The base's size, the result's, then instructions to copy a piece of
    // the base or to insert the bytes that follow. Both the delta and the
    // base have bytes to spare: an instruction is decoded before it is
    // known to be whole.
    const auto* op = reinterpret_cast<const unsigned char*>(delta);
    const unsigned char* const end = op + size;
    std::uint64_t baseSize = 0;
    std::uint64_t resultSize = 0;
    if (!deltaSize(op, end, baseSize) || baseSize != base.size || !deltaSize(op, end, resultSize)) {
        return false;
    }
    result.type = base.type;
    result.size = resultSize;
    result.bytes = withSpare(resultSize);
    // The base was most often kept a while ago and is no longer in the
    // processor's caches: asked for whole at once (up to what they hold),
    // its bytes arrive while the first instructions are decoded rather than
    // one miss after the other as the pieces are copied.
    const std::uint64_t prefetched = std::min(base.size, kPrefetchedBaseLimit);
    for (std::uint64_t at = 0; at < prefetched; at += 64) __builtin_prefetch(base.bytes.get() + at);
    char* out = result.bytes.get();
    std::uint64_t left = resultSize;
    while (op < end) {
        const unsigned instruction = *op++;
        std::uint64_t length = 0;
        const char* from = nullptr;
        if ((instruction & 0x80) != 0) {
            // Which of the offset's four bytes and the length's three follow.
            std::uint64_t offset = 0;
            if ((instruction & 0x01) != 0) offset = *op++;
            if ((instruction & 0x02) != 0) offset |= std::uint64_t{*op++} << 8;
            if ((instruction & 0x04) != 0) offset |= std::uint64_t{*op++} << 16;
            if ((instruction & 0x08) != 0) offset |= std::uint64_t{*op++} << 24;
            if ((instruction & 0x10) != 0) length = *op++;
            if ((instruction & 0x20) != 0) length |= std::uint64_t{*op++} << 8;
            if ((instruction & 0x40) != 0) length |= std::uint64_t{*op++} << 16;
            if (length == 0) length = 0x10000;
            if (op > end || offset > base.size || length > base.size - offset) return false;
            from = base.bytes.get() + offset;
        } else if (instruction != 0) {
            length = instruction;
            if (length > static_cast<std::uint64_t>(end - op)) return false;
            from = reinterpret_cast<const char*>(op);
            op += length;
        } else {
            return false;   // reserved
        }
        if (length > left) return false;
        copyPiece(out, from, length);
        out += length;
        left -= length;
    }
    return left == 0;
}

bool PackReader::inflate(const unsigned char* stream, std::uint64_t length, std::uint64_t size,
                         char* into) {
    // Two bytes of header (deflate, no preset dictionary), the deflate data,
    // and the Adler-32 of the content. The entry's CRC-32 has vouched for
    // every byte already: the content is not summed again.
    if (length < 6 || (stream[0] & 0x0F) != 8 || (stream[0] >> 4) > 7 || (stream[1] & 0x20) != 0 ||
        ((stream[0] << 8) | stream[1]) % 31 != 0) {
        return false;
    }
    // The first block's type: bits 1 and 2 of its first byte.
    const bool fixedCodes = ((stream[2] >> 1) & 3) == 1;
    std::size_t inflated = 0;
    return libdeflate_deflate_decompress(fixedCodes ? fixedCodesDecompressor_ : decompressor_,
                                         stream + 2, length - 6, into, size, &inflated) ==
               LIBDEFLATE_SUCCESS &&
           inflated == size;
}

InflatingStream::InflatingStream(std::shared_ptr<const void> owner, int fd, std::uint64_t from,
                                 std::uint64_t end, std::uint64_t skipped, std::uint64_t size,
                                 const std::uint32_t* crc, std::uint32_t crcSoFar)
    : owner_(std::move(owner)),
      fd_(fd),
      at_(from),
      end_(end),
      skipped_(skipped),
      size_(size),
      checksCrc_(crc != nullptr),
      crc_(crc != nullptr ? *crc : 0),
      crcSoFar_(crcSoFar),
      zlib_(std::make_unique<z_stream>()) {
    if (inflateInit(zlib_.get()) != Z_OK) throw std::bad_alloc();
}

InflatingStream::~InflatingStream() { inflateEnd(zlib_.get()); }

std::size_t InflatingStream::read(char* buffer, std::size_t size) {
    // The head of a loose object is left out.
    char head[64];
    while (skipped_ > 0) {
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(skipped_, sizeof head));
        inflateExactly(head, piece);
        skipped_ -= piece;
    }
    const auto got = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - given_));
    inflateExactly(buffer, got);
    given_ += got;
    // The stream is checked as its last bytes are read: a damaged one is
    // told before the count of the file ends.
    if (given_ == size_ && !checked_) finish();
    return got;
}

void InflatingStream::inflateExactly(char* into, std::size_t size) {
    while (size > 0) {
        const std::size_t got = inflateInto(into, size);
        if (got == 0) throw GitError("damaged in the repository (its stream ends early)");
        into += got;
        size -= got;
    }
}

std::size_t InflatingStream::inflateInto(char* into, std::size_t room) {
    if (room == 0) return 0;
    z_stream& zlib = *zlib_;
    zlib.next_out = reinterpret_cast<Bytef*>(into);
    zlib.avail_out = static_cast<uInt>(std::min<std::size_t>(room, std::numeric_limits<uInt>::max()));
    const uInt before = zlib.avail_out;
    while (zlib.avail_out == before && !ended_) {
        if (zlib.avail_in == 0 && at_ < end_) {
            const auto length =
                static_cast<std::size_t>(std::min<std::uint64_t>(end_ - at_, kStreamInput));
            input_.resize(length);
            if (readFileAt(fd_, reinterpret_cast<char*>(input_.data()), length, at_) !=
                static_cast<std::int64_t>(length)) {
                throw GitError("damaged in the repository (its pack cannot be read)");
            }
            if (checksCrc_) {
                crcSoFar_ = static_cast<std::uint32_t>(libdeflate_crc32(crcSoFar_, input_.data(), length));
            }
            at_ += length;
            zlib.next_in = input_.data();
            zlib.avail_in = static_cast<uInt>(length);
        }
        const uInt inputBefore = zlib.avail_in;
        const int result = inflate(&zlib, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            ended_ = true;
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            throw GitError("damaged in the repository (its stream does not inflate)");
        } else if (zlib.avail_out == before && zlib.avail_in == inputBefore && at_ == end_) {
            throw GitError("damaged in the repository (its stream ends early)");
        }
    }
    return before - zlib.avail_out;
}

void InflatingStream::finish() {
    // Nothing more than the blob's bytes, and the stream's end where its
    // entry (or file) ends.
    char more[1];
    if (!ended_ && inflateInto(more, sizeof more) != 0) {
        throw GitError("damaged in the repository (its stream holds more than its size)");
    }
    if (!ended_ || zlib_->avail_in != 0 || at_ != end_) {
        throw GitError("damaged in the repository (its stream does not end where its entry ends)");
    }
    if (checksCrc_ && crcSoFar_ != crc_) throw GitError("damaged in the repository (its CRC-32 differs)");
    checked_ = true;
}

}  // namespace stepcount::git
