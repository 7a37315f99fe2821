// Fuzz target of the pack reader. The input describes the entries of a pack;
// the target writes that pack and its index as git would (every entry's
// CRC-32 right, the ids in order), so that what is tried is what lies past
// those checks, as in a pack made to harm: sizes that do not match, deltas
// that copy from outside their base or write past their result, bases that
// are not there or that lead back to the delta itself, trees of any bytes,
// streams stored or compressed, offsets in the index's table of large ones.
// Every object is then read as a blob and as a tree, and checked against a
// plain restatement of the format: a well-formed object reads as exactly its
// content; any other is not read (the reader leaves it to libgit2).
//
// An entry of the input: a control byte, two bytes of the payload's size
// (little-endian, at most kLargestPayload), a byte naming the base of a
// delta, and the payload (the content, or the delta's instructions), cut
// short where the input ends. The control byte:
//   bits 0-1  0 a blob (a commit with bit 6), 1 a tree, 2 a delta of an
//             earlier entry (by its offset), 3 a delta of any entry (by id)
//   bit 2     the payload compressed (else stored as it is)
//   bit 3     the size in the entry's header one more (one less with bit 7)
//             than the payload's
//   bit 4     the base wrong: one byte before the base's entry, or an id of
//             no entry
//   bit 5     the offset kept in the index's table of large offsets
//   bit 6     for a delta: the payload is its instructions only, and the
//             target writes the two sizes before them (its base's, and what
//             the instructions make), so that most such deltas fit
#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "git/pack_store.h"

namespace stepcount::fuzz {
namespace {

constexpr std::size_t kIdSize = 20;
constexpr std::size_t kLargestPayload = 4096;
constexpr std::size_t kMostEntries = 200;
constexpr std::uint64_t kLargestResult = std::uint64_t{1} << 20;

enum Kind { kWhole = 0, kTree = 1, kOffsetDelta = 2, kReferenceDelta = 3 };
// The types of a pack's entries.
enum Type {
    kCommitType = 1,
    kTreeType = 2,
    kBlobType = 3,
    kOffsetDeltaType = 6,
    kReferenceDeltaType = 7,
};

struct Entry {
    int control = 0;
    int kind = 0;
    std::size_t base = 0;   // the entry a delta changes
    bool hasBase = false;
    std::string payload;
    std::string id;
    std::uint64_t offset = 0;
    std::string bytes;   // as it lies in the pack
};

// What an object reads as when it is well formed.
struct Content {
    int type = 0;
    std::string bytes;
};

std::string idOf(std::uint64_t number) {
    // Distinct for distinct numbers, spread over the first byte as ids are.
    std::string id(kIdSize, '\0');
    std::uint64_t state = number * 0x9E3779B97F4A7C15ULL + 0x632BE59BD9B4E019ULL;
    for (std::size_t i = 0; i < kIdSize; ++i) {
        state ^= state >> 29;
        state *= 0xBF58476D1CE4E5B9ULL;
        id[i] = static_cast<char>(state >> 56);
    }
    // The number itself at the end: no two ids alike.
    for (int i = 0; i < 8; ++i) id[kIdSize - 1 - i] = static_cast<char>(number >> (8 * i));
    return id;
}

void appendBigEndian(std::string& to, std::uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) to += static_cast<char>(value >> (8 * i));
}

std::string zlibOf(const std::string& payload, bool compressed) {
    struct Compressor {
        libdeflate_compressor* stored = libdeflate_alloc_compressor(0);
        libdeflate_compressor* packed = libdeflate_alloc_compressor(6);
        ~Compressor() {
            libdeflate_free_compressor(stored);
            libdeflate_free_compressor(packed);
        }
    };
    static Compressor compressor;
    libdeflate_compressor* with = compressed ? compressor.packed : compressor.stored;
    std::string stream(libdeflate_zlib_compress_bound(with, payload.size()), '\0');
    stream.resize(libdeflate_zlib_compress(with, payload.data(), payload.size(), stream.data(),
                                           stream.size()));
    check(!stream.empty(), "zlib stream not made");
    return stream;
}

// The entry's header: its type and size, 4 bits then 7 at a time.
std::string entryHeader(int type, std::uint64_t size) {
    std::string header;
    unsigned char byte = static_cast<unsigned char>((type << 4) | (size & 15));
    size >>= 4;
    while (size != 0) {
        header += static_cast<char>(byte | 0x80);
        byte = size & 0x7F;
        size >>= 7;
    }
    header += static_cast<char>(byte);
    return header;
}

// How far back a delta's base lies, as git writes it.
std::string distanceBytes(std::uint64_t distance) {
    std::string bytes(1, static_cast<char>(distance & 0x7F));
    while (distance >>= 7) {
        --distance;
        bytes.insert(bytes.begin(), static_cast<char>(0x80 | (distance & 0x7F)));
    }
    return bytes;
}

std::vector<Entry> entriesOf(const std::uint8_t* data, std::size_t size) {
    std::vector<Entry> entries;
    std::size_t at = 0;
    while (at + 4 <= size && entries.size() < kMostEntries) {
        Entry entry;
        entry.control = data[at];
        entry.kind = entry.control & 3;
        const std::size_t length = std::min<std::size_t>(
            (data[at + 1] | (data[at + 2] << 8)) % (kLargestPayload + 1), size - at - 4);
        entry.base = data[at + 3];   // which entry, once all are known
        entry.payload.assign(reinterpret_cast<const char*>(data) + at + 4, length);
        at += 4 + length;
        entries.push_back(std::move(entry));
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        Entry& entry = entries[i];
        entry.id = idOf(i);
        if (entry.kind == kOffsetDelta && i > 0) {
            entry.base = i - 1 - entry.base % i;   // an earlier one
            entry.hasBase = true;
        } else if (entry.kind == kReferenceDelta) {
            entry.base %= entries.size();   // any one, itself too
            entry.hasBase = true;
        }
    }
    return entries;
}

bool badBase(const Entry& entry) { return (entry.control & 0x10) != 0 || !entry.hasBase; }

std::uint64_t declaredSize(const Entry& entry) {
    const std::uint64_t size = entry.payload.size();
    if ((entry.control & 0x08) == 0) return size;
    if ((entry.control & 0x80) != 0) return size == 0 ? 1 : size - 1;
    return size + 1;
}

// Writes the pack and its index into `folder`/pack.
void writePack(std::vector<Entry>& entries, const std::string& folder) {
    static const std::string kChecksum(kIdSize, '\xAB');
    std::string pack = "PACK";
    appendBigEndian(pack, 2, 4);
    appendBigEndian(pack, entries.size(), 4);
    for (Entry& entry : entries) {
        entry.offset = pack.size();
        int type = kBlobType;
        if (entry.kind == kWhole && (entry.control & 0x40) != 0) type = kCommitType;
        if (entry.kind == kTree) type = kTreeType;
        if (entry.kind == kOffsetDelta) type = kOffsetDeltaType;
        if (entry.kind == kReferenceDelta) type = kReferenceDeltaType;
        entry.bytes = entryHeader(type, declaredSize(entry));
        if (entry.kind == kOffsetDelta) {
            // No earlier entry, or one byte before the base's: no entry starts there.
            const std::uint64_t distance = !entry.hasBase ? entry.offset + 1
                                           : entry.offset - entries[entry.base].offset +
                                                 ((entry.control & 0x10) != 0 ? 1 : 0);
            entry.bytes += distanceBytes(distance);
        } else if (entry.kind == kReferenceDelta) {
            entry.bytes += (entry.control & 0x10) != 0 ? idOf(entries.size() + 7)
                                                        : entries[entry.base].id;
        }
        entry.bytes += zlibOf(entry.payload, (entry.control & 0x04) != 0);
        pack += entry.bytes;
    }
    pack += kChecksum;

    std::vector<const Entry*> sorted;
    for (const Entry& entry : entries) sorted.push_back(&entry);
    std::sort(sorted.begin(), sorted.end(), [](const Entry* a, const Entry* b) { return a->id < b->id; });
    std::string index = "\xFFtOc";
    appendBigEndian(index, 2, 4);
    for (int byte = 0; byte < 256; ++byte) {
        appendBigEndian(index, std::count_if(sorted.begin(), sorted.end(), [&](const Entry* entry) {
                            return static_cast<unsigned char>(entry->id[0]) <= byte;
                        }), 4);
    }
    for (const Entry* entry : sorted) index += entry->id;
    for (const Entry* entry : sorted) {
        appendBigEndian(index, libdeflate_crc32(0, entry->bytes.data(), entry->bytes.size()), 4);
    }
    std::string large;
    for (const Entry* entry : sorted) {
        if ((entry->control & 0x20) != 0) {
            appendBigEndian(index, 0x80000000u | (large.size() / 8), 4);
            appendBigEndian(large, entry->offset, 8);
        } else {
            appendBigEndian(index, entry->offset, 4);
        }
    }
    index += large;
    index += kChecksum;
    index += std::string(kIdSize, '\xCD');
    writeFile(folder + "/pack/pack-fuzz.pack", pack);
    writeFile(folder + "/pack/pack-fuzz.idx", index);
}

// A delta's size fields: 7 bits at a time, lowest first, within 64 bits.
bool deltaSize(std::string_view& delta, std::uint64_t& size) {
    size = 0;
    for (int shift = 0; !delta.empty() && shift < 64; shift += 7) {
        const auto byte = static_cast<unsigned char>(delta.front());
        delta.remove_prefix(1);
        size |= std::uint64_t{byte & 0x7Fu} << shift;
        if ((byte & 0x80) == 0) return true;
    }
    return false;
}

// One instruction of a delta: a copy of a piece of the base (which bytes of
// its offset and length follow: bits 0-3 and 4-6 of the first; length 0 is
// 65536), or the next 1-127 bytes inserted.
struct Instruction {
    bool copy = false;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::string_view inserted;
};

// The instruction at the front of `delta`, taken off it; false when it is
// cut short or is the reserved 0.
bool nextInstruction(std::string_view& delta, Instruction& instruction) {
    const auto first = static_cast<unsigned char>(delta.front());
    delta.remove_prefix(1);
    instruction = Instruction{};
    if (first == 0) return false;
    if ((first & 0x80) == 0) {
        if (delta.size() < first) return false;
        instruction.inserted = delta.substr(0, first);
        instruction.length = first;
        delta.remove_prefix(first);
        return true;
    }
    instruction.copy = true;
    for (int bit = 0; bit < 7; ++bit) {
        if ((first & (1 << bit)) == 0) continue;
        if (delta.empty()) return false;
        const std::uint64_t byte = static_cast<unsigned char>(delta.front());
        (bit < 4 ? instruction.offset : instruction.length) |= byte << (8 * (bit % 4));
        delta.remove_prefix(1);
    }
    if (instruction.length == 0) instruction.length = 0x10000;
    return true;
}

// `base` changed by `delta`: its size, the result's, then instructions.
// Nothing, with `tooLarge` set, for a result of more than kLargestResult
// bytes.
std::optional<std::string> applied(const std::string& base, std::string_view delta, bool& tooLarge) {
    std::uint64_t baseSize = 0;
    std::uint64_t resultSize = 0;
    if (!deltaSize(delta, baseSize) || baseSize != base.size() || !deltaSize(delta, resultSize)) {
        return std::nullopt;
    }
    if (resultSize > kLargestResult) {
        tooLarge = true;
        return std::nullopt;
    }
    std::string result;
    while (!delta.empty()) {
        Instruction instruction;
        if (!nextInstruction(delta, instruction)) return std::nullopt;
        if (!instruction.copy) {
            result += instruction.inserted;
        } else if (instruction.offset > base.size() ||
                   instruction.length > base.size() - instruction.offset) {
            return std::nullopt;
        } else {
            result += std::string_view(base).substr(instruction.offset, instruction.length);
        }
        if (result.size() > resultSize) return std::nullopt;
    }
    if (result.size() != resultSize) return std::nullopt;
    return result;
}

std::string sizeBytes(std::uint64_t size) {
    std::string bytes;
    do {
        bytes += static_cast<char>((size & 0x7F) | (size > 0x7F ? 0x80 : 0));
        size >>= 7;
    } while (size != 0);
    return bytes;
}

// How many bytes the instructions make, as far as they can be read.
std::uint64_t sizeMade(std::string_view instructions) {
    std::uint64_t made = 0;
    Instruction instruction;
    while (!instructions.empty() && nextInstruction(instructions, instruction)) {
        made += instruction.length;
    }
    return made;
}

// What each entry reads as, or nothing when it is not well formed: each
// entry once, its base first; an entry whose chain of bases comes back to
// itself, or leads to such a loop, is not well formed.
// The deltas whose sizes the target writes get them here.
class Expected {
public:
    explicit Expected(std::vector<Entry>& entries)
        : entries_(entries), contents_(entries.size()), states_(entries.size(), State::New) {}

    // Whether some delta makes more than kLargestResult bytes: such inputs
    // are left out (a chain of them could ask for more memory than there is).
    bool tooLarge() const { return tooLarge_; }

    const std::optional<Content>& of(std::size_t index) {
        if (states_[index] == State::Done) return contents_[index];
        if (states_[index] == State::OnChain) return contents_[index];   // a loop: nothing
        states_[index] = State::OnChain;
        contents_[index] = make(index);
        states_[index] = State::Done;
        return contents_[index];
    }

private:
    enum class State { New, OnChain, Done };

    std::optional<Content> make(std::size_t index) {
        Entry& entry = entries_[index];
        if (entry.kind == kWhole || entry.kind == kTree) {
            if (declaredSize(entry) != entry.payload.size()) return std::nullopt;
            const int type = entry.kind == kTree ? kTreeType
                             : (entry.control & 0x40) != 0 ? kCommitType : kBlobType;
            return Content{type, entry.payload};
        }
        // (`contents_` is never resized: the base's stays where it is.)
        const std::optional<Content>* base = badBase(entry) ? nullptr : &of(entry.base);
        if ((entry.control & 0x40) != 0) {
            entry.payload = sizeBytes(base != nullptr && *base ? (*base)->bytes.size() : 0) +
                            sizeBytes(sizeMade(entry.payload)) + entry.payload;
        }
        if (declaredSize(entry) != entry.payload.size() || base == nullptr || !*base) {
            return std::nullopt;
        }
        std::optional<std::string> result = applied((*base)->bytes, entry.payload, tooLarge_);
        if (!result) return std::nullopt;
        return Content{(*base)->type, std::move(*result)};
    }

    std::vector<Entry>& entries_;
    std::vector<std::optional<Content>> contents_;
    std::vector<State> states_;
    bool tooLarge_ = false;
};

// A tree's entries: an octal mode below 2^21, a space, a name, a zero byte
// and a 20-byte id.
std::optional<std::vector<git::TreeEntry>> treeEntriesOf(std::string_view tree) {
    std::vector<git::TreeEntry> entries;
    while (!tree.empty()) {
        const std::size_t space = tree.find(' ');
        if (space == 0 || space == std::string_view::npos) return std::nullopt;
        std::uint32_t mode = 0;
        for (const char digit : tree.substr(0, space)) {
            if (digit < '0' || digit > '7') return std::nullopt;
            mode = mode * 8 + static_cast<std::uint32_t>(digit - '0');
            if (mode >= (1u << 21)) return std::nullopt;
        }
        const std::size_t end = tree.find('\0', space);
        if (end == std::string_view::npos || end == space + 1 || tree.size() - end - 1 < kIdSize) {
            return std::nullopt;
        }
        git::TreeEntry& entry = entries.emplace_back();
        switch (mode & 0170000) {
            case 0040000: entry.kind = git::TreeEntry::Kind::Tree; break;
            case 0120000: entry.kind = git::TreeEntry::Kind::Link; break;
            case 0160000: entry.kind = git::TreeEntry::Kind::Submodule; break;
            default: entry.kind = git::TreeEntry::Kind::File; break;
        }
        entry.name = tree.substr(space + 1, end - space - 1);
        entry.id = tree.substr(end + 1, kIdSize);
        tree.remove_prefix(end + 1 + kIdSize);
    }
    return entries;
}

std::string described(std::size_t index, const char* what) {
    return "entry " + std::to_string(index) + ": " + what;
}

}  // namespace
}  // namespace stepcount::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace stepcount;
    using namespace stepcount::fuzz;
    std::vector<Entry> entries = entriesOf(data, size);
    if (entries.empty()) return 0;
    // What each object is, first: that writes the sizes of some deltas.
    Expected expectedContents(entries);
    for (std::size_t i = 0; i < entries.size(); ++i) expectedContents.of(i);
    if (expectedContents.tooLarge()) return 0;
    static const std::string folder = [] {
        std::string objects = scratchPath("objects");
        std::filesystem::create_directories(objects + "/pack");
        return objects;
    }();
    writePack(entries, folder);

    auto store = std::make_shared<const git::PackStore>(std::vector<std::string>{folder});
    check(store->packCount() == 1, "the pack written is not read");
    git::PackReader reader(store);
    // Twice: the second time, bases kept from the first are read again.
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::optional<Content>& expected = expectedContents.of(i);
            std::string_view bytes;
            const auto kept = reader.readBlob(entries[i].id, bytes);
            const bool blob = expected && expected->type == kBlobType;
            check((kept != nullptr) == blob, described(i, "read as a blob").c_str(),
                  blob ? "but it is one" : "but it is none");
            if (blob) check(bytes == expected->bytes, described(i, "read wrongly as a blob").c_str());

            std::vector<git::TreeEntry> listed;
            const bool read = reader.readTree(entries[i].id, listed);
            std::optional<std::vector<git::TreeEntry>> tree;
            if (expected && expected->type == kTreeType) tree = treeEntriesOf(expected->bytes);
            check(read == tree.has_value(), described(i, "read as a tree").c_str(),
                  tree ? "but it is one" : "but it is none");
            if (!tree) continue;
            check(listed.size() == tree->size(), described(i, "listed wrongly").c_str());
            for (std::size_t e = 0; e < listed.size(); ++e) {
                check(listed[e].name == (*tree)[e].name && listed[e].id == (*tree)[e].id &&
                          listed[e].kind == (*tree)[e].kind,
                      described(i, "listed wrongly").c_str(), "at " + std::to_string(e));
            }
        }
    }
    std::string_view bytes;
    check(reader.readBlob(idOf(entries.size() + 7), bytes) == nullptr, "an id of no entry read");

    // In their reading order, as a revision's files are counted: from the
    // end of the pack back, entries one before the other from one read of
    // the pack.
    git::PackReader orderedReader(std::make_shared<const git::PackStore>(std::vector<std::string>{folder}));
    orderedReader.readsInOrder(true);
    std::vector<std::pair<std::uint64_t, std::size_t>> order;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        order.emplace_back(orderedReader.readingOrder(entries[i].id), i);
        check(order.back().first != ~std::uint64_t{0}, described(i, "has no reading order").c_str());
    }
    std::sort(order.begin(), order.end());
    for (const auto& [place, i] : order) {
        const std::optional<Content>& expected = expectedContents.of(i);
        const bool blob = expected && expected->type == kBlobType;
        const auto kept = orderedReader.readBlob(entries[i].id, bytes);
        check((kept != nullptr) == blob, described(i, "read as a blob in reading order").c_str(),
              blob ? "but it is one" : "but it is none");
        if (blob) check(bytes == expected->bytes, described(i, "read wrongly in reading order").c_str());
    }
    const git::PackedObjects packed = orderedReader.packedObjects();
    check(packed.count == entries.size() && packed.deltaShare >= 0 && packed.deltaShare <= 1,
          "what the pack holds told wrongly");

    // Blobs stored whole read a piece at a time as what they are, and any
    // other object stored whole as a blob fails as it is read.
    git::PackReader streamingReader(
        std::make_shared<const git::PackStore>(std::vector<std::string>{folder}, 0));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::optional<Content>& expected = expectedContents.of(i);
        const bool blob = expected && expected->type == kBlobType;
        std::unique_ptr<git::InflatingStream> stream;
        const auto kept = streamingReader.readBlob(entries[i].id, bytes, &stream);
        if (stream == nullptr) {
            check((kept != nullptr) == blob, described(i, "read as a blob, streams asked for").c_str(),
                  blob ? "but it is one" : "but it is none");
            if (blob) check(bytes == expected->bytes, described(i, "read wrongly as a blob").c_str());
            continue;
        }
        check(kept == nullptr && entries[i].kind == kWhole, described(i, "streamed").c_str(),
              "but it is no blob stored whole");
        std::string streamed;
        bool failed = false;
        try {
            char piece[777];
            while (const std::size_t got = stream->read(piece, sizeof piece)) streamed.append(piece, got);
        } catch (const git::GitError&) {
            failed = true;
        }
        check(failed != blob, described(i, "streamed").c_str(), blob ? "but it fails" : "but it is no blob");
        if (blob && !failed) check(streamed == expected->bytes, described(i, "streamed wrongly").c_str());
    }
    return 0;
}
