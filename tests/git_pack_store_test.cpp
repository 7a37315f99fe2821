// The packs read without libgit2: every object git stores whole or as
// deltas (on an offset or on an id, in long chains, at 64-bit offsets) reads
// as git itself reads it, and damaged or unknown data is left to libgit2
// rather than read wrongly.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "git/pack_store.h"
#include "support/git_repos.h"

namespace stepcount::testing {
namespace {

// The raw bytes of a hexadecimal object id.
git::ObjectId rawId(const std::string& hex) {
    git::ObjectId id;
    for (std::size_t at = 0; at + 1 < hex.size(); at += 2) {
        id += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
    }
    return id;
}

// The Adler-32 checksum that ends a zlib stream of `data`.
std::uint32_t adler32(std::string_view data) {
    std::uint32_t a = 1, b = 0;
    for (const char byte : data) {
        a = (a + static_cast<unsigned char>(byte)) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

struct StoredObject {
    std::string id;     // hexadecimal
    std::string type;   // blob, tree, commit, tag
};

std::vector<StoredObject> storedObjects(const GitRepo& repo) {
    std::istringstream listed(
        repo.git("cat-file --batch-all-objects --batch-check='%(objectname) %(objecttype)'"));
    std::vector<StoredObject> objects;
    StoredObject object;
    while (listed >> object.id >> object.type) objects.push_back(object);
    return objects;
}

// A tree's entries as git lists them: "MODE NAME ID" lines, the mode as
// this reader tells the kind.
std::string gitTree(const GitRepo& repo, const std::string& id) {
    std::istringstream listed(repo.git("ls-tree --full-tree " + id));
    std::string lines;
    std::string mode, type, object, name;
    while (listed >> mode >> type >> object && std::getline(listed >> std::ws, name)) {
        const char* kind = mode == "040000" ? "tree" : mode == "120000" ? "link"
                         : mode == "160000" ? "submodule" : "file";
        lines += std::string(kind) + ' ' + name + ' ' + object + '\n';
    }
    return lines;
}

std::string hexOf(const git::ObjectId& id) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : id) hex += {kDigits[byte >> 4], kDigits[byte & 15]};
    return hex;
}

std::string treeLines(const std::vector<git::TreeEntry>& entries) {
    std::string lines;
    for (const git::TreeEntry& entry : entries) {
        const char* kind = entry.kind == git::TreeEntry::Kind::Tree   ? "tree"
                         : entry.kind == git::TreeEntry::Kind::Link   ? "link"
                         : entry.kind == git::TreeEntry::Kind::Submodule ? "submodule" : "file";
        lines += std::string(kind) + ' ' + entry.name + ' ' + hexOf(entry.id) + '\n';
    }
    return lines;
}

// The bytes of a stream, read in pieces of 1000 bytes.
std::string streamed(git::InflatingStream& stream) {
    std::string bytes;
    char piece[1000];
    while (const std::size_t got = stream.read(piece, sizeof piece)) bytes.append(piece, got);
    return bytes;
}

class GitPackStoreTest : public GitTest {
protected:
    git::PackReader readerOf(const GitRepo& repo,
                             std::uint64_t streamedSize = git::PackStore::kStreamedSize) {
        return git::PackReader(std::make_shared<const git::PackStore>(
            std::vector<std::string>{repo.at(".git/objects")}, streamedSize));
    }

    // Every blob and tree of the repository reads from the packs as git
    // reads it, blobs also as streams where they are of more bytes than
    // `streamedSize` and stored whole; returns how many were read.
    int expectEveryObjectReadsAsGitReadsIt(const GitRepo& repo,
                                           std::uint64_t streamedSize = git::PackStore::kStreamedSize) {
        git::PackReader reader = readerOf(repo, streamedSize);
        int read = 0;
        for (const StoredObject& object : storedObjects(repo)) {
            SCOPED_TRACE(object.id + ' ' + object.type);
            std::string_view bytes;
            std::vector<git::TreeEntry> entries;
            if (object.type == "blob") {
                const std::string content = repo.git("cat-file blob " + object.id);
                const auto kept = reader.readBlob(rawId(object.id), bytes);
                EXPECT_NE(kept, nullptr);
                if (kept != nullptr) {
                    EXPECT_EQ(bytes, content);
                }
                std::unique_ptr<git::InflatingStream> stream;
                const auto keptOrStreamed = reader.readBlob(rawId(object.id), bytes, &stream);
                if (stream != nullptr) {
                    EXPECT_EQ(keptOrStreamed, nullptr);
                    EXPECT_GT(stream->size(), streamedSize);
                    EXPECT_EQ(stream->size(), content.size());
                    EXPECT_EQ(streamed(*stream), content);
                    ++streamedBlobs;
                } else if (keptOrStreamed != nullptr) {
                    EXPECT_EQ(bytes, content);
                }
                read += kept != nullptr;
            } else if (object.type == "tree") {
                const bool listed = reader.readTree(rawId(object.id), entries);
                EXPECT_TRUE(listed);
                EXPECT_EQ(treeLines(entries), listed ? gitTree(repo, object.id) : "");
                read += listed;
            } else {
                // Neither is a blob nor a tree: not read as one.
                EXPECT_EQ(reader.readBlob(rawId(object.id), bytes), nullptr);
                EXPECT_FALSE(reader.readTree(rawId(object.id), entries));
            }
        }
        return read;
    }

    int streamedBlobs = 0;
};

// Versions `first` to `versions` - 1 of files that change a little each
// time, packed into chains of deltas; names of every kind of entry.
void writeHistory(const GitRepo& repo, int versions, int first = 0) {
    for (int version = first; version < versions; ++version) {
        for (int file = 0; file < 6; ++file) {
            std::string text = "/* " + std::to_string(file) + " */\n";
            for (int line = 0; line < 200; ++line) {
                text += "int f" + std::to_string(file) + "_" + std::to_string(line) + " = " +
                        std::to_string(line % (version + 2)) + ";\n";
            }
            repo.write("src/d" + std::to_string(file % 2) + "/f" + std::to_string(file) + ".c", text);
        }
        // Deltas copy 64 KiB at a time from a long unchanged part.
        std::string lines;
        for (int line = 0; line < 6000; ++line) lines += "-- line " + std::to_string(line) + ";\n";
        repo.write("long.sql", lines + "-- version " + std::to_string(version) + "\n");
        repo.write(kNihongo + ".sql", "select " + std::to_string(version) + ";\n");
        // A few lines changed here and there, others in each version: the
        // deltas copy pieces of many lengths, some up to their base's end.
        std::string scattered;
        for (int line = 0; line < 400; ++line) {
            scattered += line % (5 + version) == 0 ? "changed in " + std::to_string(version) + "\n"
                                                   : "line " + std::to_string(line) + "\n";
        }
        repo.write("scattered.txt", scattered);
        repo.commitAll(kFirstCommit + version, "v" + std::to_string(version));
    }
}

TEST_F(GitPackStoreTest, ObjectsOfEveryPackingReadAsGitReadsThem) {
    const GitRepo repo = GitRepo::create(temp.at("repo"));
    writeHistory(repo, 12);
    std::filesystem::create_symlink("src/d0/f0.c", repo.at("link.c"));
    repo.git("add link.c");
    repo.git("update-index --add --cacheinfo 160000," + std::string(40, '1') + ",sub");
    repo.git("update-index --chmod=+x src/d1/f1.c");
    repo.commitAll(kFirstCommit + 20, "last");
    repo.git("tag -a -m annotated annotated last");

    struct Packing {
        const char* name;
        const char* command;
    } const packings[] = {
        {"deltas on offsets, long chains", "repack -a -d -f -q --depth=50 --window=250"},
        {"deltas on ids", "-c repack.useDeltaBaseOffset=false repack -a -d -f -q --depth=50"},
        {"no deltas", "repack -a -d -f -q --window=0"},
    };
    for (const Packing& packing : packings) {
        SCOPED_TRACE(packing.name);
        repo.git(packing.command);
        repo.git("prune-packed");
        const std::string chains = repo.git("verify-pack -v .git/objects/pack/*.idx");
        if (std::string(packing.name) != "no deltas") {
            ASSERT_NE(chains.find("chain length = 2: "), std::string::npos) << chains;
        }
        const std::vector<StoredObject> objects = storedObjects(repo);
        EXPECT_EQ(expectEveryObjectReadsAsGitReadsIt(repo),
                  std::count_if(objects.begin(), objects.end(), [](const StoredObject& object) {
                      return object.type == "blob" || object.type == "tree";
                  }));
        EXPECT_EQ(streamedBlobs, 0);
        // Blobs stored whole read as streams, deltas whole as before.
        expectEveryObjectReadsAsGitReadsIt(repo, 0);
        EXPECT_GT(streamedBlobs, 0);
        streamedBlobs = 0;
    }

    // Offsets beyond the first objects' written in the index's 64-bit table,
    // as they are for packs over 2 GiB.
    for (const auto& entry : std::filesystem::directory_iterator(repo.at(".git/objects/pack"))) {
        if (entry.path().extension() != ".pack") continue;
        std::filesystem::path index = entry.path();
        index.replace_extension(".idx");
        const auto smallOffsetsOnly = std::filesystem::file_size(index);
        std::filesystem::remove(index);
        repo.git("index-pack --index-version=2,0x100 " + shellQuoted(entry.path().string()));
        ASSERT_GT(std::filesystem::file_size(index), smallOffsetsOnly);   // the 64-bit table
    }
    expectEveryObjectReadsAsGitReadsIt(repo);
}

// A pack of 30,000 blobs, about 120 ids for each first byte, where the
// search guesses an id's place from its value: every blob is found, and ids
// next to each of them, and below and above each run of ids, are not.
TEST_F(GitPackStoreTest, EveryIdOfALargeIndexIsFoundAndNoOther) {
    const GitRepo repo = GitRepo::create(temp.at("repo"));
    constexpr int kBlobs = 30000;
    std::string commands;
    for (int blob = 1; blob <= kBlobs; ++blob) {
        const std::string content = "int x" + std::to_string(blob) + ";\n";
        commands += "blob\nmark :" + std::to_string(blob) + "\ndata " +
                    std::to_string(content.size()) + "\n" + content + "\n";
    }
    const std::string input = temp.at("blobs.txt");
    const std::string marks = temp.at("marks.txt");
    std::ofstream(input, std::ios::binary) << commands;
    repo.git("fast-import --quiet --export-marks=" + shellQuoted(marks) + " < " +
             shellQuoted(input));

    git::PackReader reader = readerOf(repo);
    std::istringstream marked(readFile(marks));
    std::string mark, hex;
    std::vector<git::ObjectId> ids;
    while (marked >> mark >> hex) {
        const git::ObjectId id = rawId(hex);
        ids.push_back(id);
        std::string_view bytes;
        const auto kept = reader.readBlob(id, bytes);
        ASSERT_NE(kept, nullptr) << hex;
        ASSERT_EQ(bytes, "int x" + mark.substr(1) + ";\n") << hex;
    }
    ASSERT_EQ(ids.size(), static_cast<std::size_t>(kBlobs));

    std::sort(ids.begin(), ids.end());
    std::vector<git::ObjectId> absent;
    for (const git::ObjectId& id : ids) {
        git::ObjectId next = id;
        next.back() = static_cast<char>(next.back() + 1);
        if (!std::binary_search(ids.begin(), ids.end(), next)) absent.push_back(next);
    }
    for (int first = 0; first < 256; ++first) {
        absent.push_back(std::string(1, static_cast<char>(first)) + std::string(19, '\0'));
        absent.push_back(std::string(1, static_cast<char>(first)) + std::string(19, '\xFF'));
    }
    ASSERT_GT(absent.size(), ids.size() / 2);
    for (const git::ObjectId& id : absent) {
        std::string_view bytes;
        EXPECT_EQ(reader.readBlob(id, bytes), nullptr) << hexOf(id);
    }
}

// A repository cloned with --shared keeps no objects of its own: it borrows
// them from its origin's store (objects/info/alternates), whose packs are
// read too; and so are those of a store borrowed from in turn, named by a
// path relative to the store that names it. Comments, quoted paths and a
// store that borrows back are passed over.
TEST_F(GitPackStoreTest, PacksOfTheStoresARepositoryBorrowsFromAreRead) {
    const GitRepo origin = GitRepo::create(temp.at("origin"));
    writeHistory(origin, 2);
    origin.git("repack -a -d -q");
    const GitRepo middle = GitRepo::create(temp.at("middle"));
    middle.write("m.c", "int m;\n");
    middle.commitAll(kFirstCommit, "m");
    middle.git("repack -a -d -q");
    origin.git("clone -q --shared . " + shellQuoted(temp.at("borrower")));
    const std::string objects = temp.at("borrower") + "/.git/objects";
    const std::string middleObjects = middle.at(".git/objects");
    const std::string originObjects = origin.at(".git/objects");
    std::ofstream(objects + "/info/alternates", std::ios::app)
        << "# a comment\n\"quoted\"\n" << "../../../middle/.git/objects\n";
    std::ofstream(middleObjects + "/info/alternates") << originObjects << '\n'
                                                      << objects << "\r\n";

    // The origin as the clone names it ("origin/./.git/objects"), then the
    // middle store, which names the origin again.
    const std::vector<std::string> folders = git::objectFoldersOf(objects);
    ASSERT_EQ(folders.size(), 3U) << ::testing::PrintToString(folders);
    EXPECT_EQ(folders[0], objects);
    EXPECT_TRUE(std::filesystem::equivalent(folders[1], originObjects)) << folders[1];
    EXPECT_EQ(folders[2], objects + "/../../../middle/.git/objects");
    const auto store = std::make_shared<const git::PackStore>(folders);
    EXPECT_EQ(store->packCount(), 2U);
    git::PackReader reader(store);
    for (const auto& [repo, name] : {std::pair{&origin, "v1:long.sql"}, {&middle, "m:m.c"}}) {
        SCOPED_TRACE(name);
        std::string_view bytes;
        const std::string id = repo->git(std::string("rev-parse ") + name).substr(0, 40);
        const auto kept = reader.readBlob(rawId(id), bytes);
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(bytes, repo->git(std::string("cat-file blob ") + name));
    }
}

// The text of file `file` of version `version`: lines that differ from
// file to file, one of them from version to version.
std::string versionedText(int file, int version) {
    std::string text;
    for (int line = 0; line < 4000; ++line) {
        text += "line " + std::to_string(file * 7919 + line * 31);
        if (line == 2000) text += " of version " + std::to_string(version);
        text += '\n';
    }
    return text;
}

// More bases than the store keeps: with many readers at once each has less
// room, and 12 MB of bases are read where 8 MiB are kept. The bases pushed
// out read again from the pack, by every reader, as they were written.
TEST_F(GitPackStoreTest, BasesPushedOutOfTheKeptOnesAreReadAgain) {
    constexpr int kFiles = 240;
    const GitRepo repo = GitRepo::create(temp.at("repo"));
    for (int version = 0; version < 2; ++version) {
        for (int file = 0; file < kFiles; ++file) {
            std::string name = "f";
            name += std::to_string(file);
            repo.write(name + ".txt", versionedText(file, version));
        }
        std::string tag = "v";
        tag += std::to_string(version);
        repo.commitAll(kFirstCommit + version, tag);
    }
    repo.git("repack -a -d -f -q");
    repo.git("prune-packed");
    const auto store = std::make_shared<const git::PackStore>(
        std::vector<std::string>{repo.at(".git/objects")});
    std::vector<std::unique_ptr<git::PackReader>> readers;
    for (int reader = 0; reader < 20; ++reader) {
        readers.push_back(std::make_unique<git::PackReader>(store));
    }
    std::vector<std::pair<git::ObjectId, std::string>> blobs;   // id and text, both versions
    for (int version = 0; version < 2; ++version) {
        std::string command = "ls-tree v";
        command += std::to_string(version);
        std::istringstream listed(repo.git(command));
        std::string mode, type, id, name;
        while (listed >> mode >> type >> id >> name) {
            const int file = std::stoi(name.substr(1));
            blobs.emplace_back(rawId(id), versionedText(file, version));
        }
    }
    ASSERT_EQ(blobs.size(), std::size_t{2 * kFiles});
    for (int round = 0; round < 4; ++round) {
        // The last round as though read in reading order: fewer bases kept.
        if (round == 3) {
            for (const auto& reader : readers) reader->readsInOrder(true);
        }
        int wrong = 0;
        for (std::size_t blob = 0; blob < blobs.size(); ++blob) {
            std::string_view bytes;
            const auto kept = readers[(blob + static_cast<std::size_t>(round)) % readers.size()]
                                  ->readBlob(blobs[blob].first, bytes);
            wrong += kept == nullptr || bytes != blobs[blob].second;
        }
        EXPECT_EQ(wrong, 0) << "round " << round;
    }
}

// Reading order: from the end of each pack back, so that every delta comes
// before the object it changes; a pack's objects all before or all after
// another's; objects the packs do not hold (loose, unknown) last.
TEST_F(GitPackStoreTest, ReadingOrderPutsDeltasBeforeTheirBasesAndLooseObjectsLast) {
    const GitRepo repo = GitRepo::create(temp.at("repo"));
    writeHistory(repo, 6);
    repo.git("repack -a -d -q");
    writeHistory(repo, 8, 6);   // two versions more, in a second pack
    repo.git("repack -d -q");
    repo.write("loose.c", "int loose;\n");
    repo.commitAll(kSecondCommit, "loose");
    git::PackReader reader = readerOf(repo);

    struct Packed {
        std::string id;
        std::uint64_t offset;
        std::string base;   // for a delta
    };
    std::vector<std::vector<Packed>> packs;
    int deltas = 0;
    for (const auto& file : std::filesystem::directory_iterator(repo.at(".git/objects/pack"))) {
        if (file.path().extension() != ".idx") continue;
        std::istringstream listed(repo.git("verify-pack -v " + shellQuoted(file.path().string())));
        std::vector<Packed>& pack = packs.emplace_back();
        std::string line;
        while (std::getline(listed, line)) {
            std::istringstream fields(line);
            Packed object;
            std::string type, size, stored, depth;
            if (!(fields >> object.id >> type >> size >> stored >> object.offset) || object.id.size() != 40) {
                continue;
            }
            fields >> depth >> object.base;
            deltas += !object.base.empty();
            pack.push_back(object);
        }
    }
    ASSERT_EQ(packs.size(), 2u);
    ASSERT_GT(deltas, 20);
    std::vector<std::uint64_t> lowest, highest;
    for (const std::vector<Packed>& pack : packs) {
        std::uint64_t low = ~std::uint64_t{0}, high = 0;
        for (const Packed& object : pack) {
            SCOPED_TRACE(object.id);
            const std::uint64_t order = reader.readingOrder(rawId(object.id));
            for (const Packed& other : pack) {
                if (other.offset < object.offset) {
                    EXPECT_LT(order, reader.readingOrder(rawId(other.id)));
                }
            }
            if (!object.base.empty()) {
                EXPECT_LT(order, reader.readingOrder(rawId(object.base)));
            }
            low = std::min(low, order);
            high = std::max(high, order);
        }
        lowest.push_back(low);
        highest.push_back(high);
    }
    EXPECT_TRUE(highest[0] < lowest[1] || highest[1] < lowest[0]);
    // Every blob read in that order, from the end of each pack back, as git
    // reads it.
    std::vector<std::pair<std::uint64_t, std::string>> blobs;
    for (const StoredObject& object : storedObjects(repo)) {
        if (object.type == "blob") blobs.emplace_back(reader.readingOrder(rawId(object.id)), object.id);
    }
    std::sort(blobs.begin(), blobs.end());
    git::PackReader inOrder = readerOf(repo);
    inOrder.readsInOrder(true);
    for (const auto& [order, id] : blobs) {
        std::string_view bytes;
        const auto kept = inOrder.readBlob(rawId(id), bytes);
        ASSERT_NE(kept, nullptr) << id;
        EXPECT_EQ(bytes, repo.git("cat-file blob " + id)) << id;
    }
    const std::string loose = repo.git("rev-parse loose:loose.c").substr(0, 40);
    EXPECT_EQ(reader.readingOrder(rawId(loose)), ~std::uint64_t{0});
    EXPECT_EQ(reader.readingOrder(rawId(std::string(40, 'a'))), ~std::uint64_t{0});
    EXPECT_EQ(reader.readingOrder(""), ~std::uint64_t{0});
    EXPECT_GT(highest[0], 0u);
}

// A blob stored without compression, a byte of its content changed and the
// zlib checksum made to match: it still inflates, and only the index's
// CRC-32 of the entry tells the damage.
TEST_F(GitPackStoreTest, AnEntryChangedSoThatItStillInflatesIsNotRead) {
    const GitRepo repo = GitRepo::create(temp.at("repo"));
    repo.git("config core.compression 0");
    const std::string content = "int stored_as_it_is;\n";
    repo.write("a.c", content);
    repo.commitAll(kFirstCommit, "v1");
    repo.git("repack -a -d -f -q --window=0");
    repo.git("prune-packed");
    const git::ObjectId id = rawId(repo.git("rev-parse v1:a.c").substr(0, 40));
    std::string pack;
    std::filesystem::path packPath;
    for (const auto& entry : std::filesystem::directory_iterator(repo.at(".git/objects/pack"))) {
        if (entry.path().extension() == ".pack") packPath = entry.path();
    }
    pack = readFile(packPath.string());
    const std::size_t at = pack.find(content);
    ASSERT_NE(at, std::string::npos);
    {
        std::string_view bytes;
        const auto kept = readerOf(repo).readBlob(id, bytes);
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(bytes, content);
    }

    pack[at + 4] = 'S';   // "int Stored_as_it_is;"
    const std::uint32_t adler = adler32(std::string_view(pack).substr(at, content.size()));
    for (int i = 0; i < 4; ++i) pack[at + content.size() + i] = static_cast<char>(adler >> (24 - 8 * i));
    std::filesystem::permissions(packPath, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    std::ofstream(packPath, std::ios::binary | std::ios::trunc) << pack;
    // git reads the changed content (it checks no CRC when it reads).
    ASSERT_EQ(repo.git("cat-file blob v1:a.c"), "int Stored_as_it_is;\n");
    std::string_view bytes;
    EXPECT_EQ(readerOf(repo).readBlob(id, bytes), nullptr);
    // Read a piece at a time, its CRC-32 is checked as its last byte is read.
    git::PackReader reader = readerOf(repo, 0);
    std::unique_ptr<git::InflatingStream> stream;
    EXPECT_EQ(reader.readBlob(id, bytes, &stream), nullptr);
    ASSERT_NE(stream, nullptr);
    char piece[16];
    EXPECT_EQ(stream->read(piece, 10), 10U);
    EXPECT_THROW(stream->read(piece, sizeof piece), git::GitError);   // its last 11 bytes
}

// A zlib stream that stores `data` as it is (one block of at most 65535
// bytes), as a loose object's file holds it compressed.
std::string storedStream(const std::string& data) {
    std::string stream = "\x78\x01\x01";
    const auto length = static_cast<std::uint16_t>(data.size());
    for (const std::uint16_t half : {length, static_cast<std::uint16_t>(~length)}) {
        stream += static_cast<char>(half & 0xFF);
        stream += static_cast<char>(half >> 8);
    }
    stream += data;
    const std::uint32_t adler = adler32(data);
    for (int i = 0; i < 4; ++i) stream += static_cast<char>(adler >> (24 - 8 * i));
    return stream;
}

// Loose objects (not yet packed) read as git reads them, the packed ones
// still from their pack: a blob, a tree, a blob that inflates to far more
// than four times its file; a commit is no blob. Loose files whose header
// does not tell the content truly, or whose stream is cut short, are left
// to libgit2.
TEST_F(GitPackStoreTest, LooseObjectsReadAsGitReadsThem) {
    const GitRepo repo = GitRepo::create(temp.at("repo"));
    repo.write("a.c", "int a;\n");
    repo.commitAll(kFirstCommit, "v1");
    repo.git("repack -a -d -q");
    repo.write("b.c", "int b;\n");
    repo.write("same.sql", std::string(200000, '-') + "\n");
    repo.commitAll(kFirstCommit + 2, "v2");
    git::PackReader reader = readerOf(repo);
    std::string_view bytes;
    for (const char* name : {"v1:a.c", "v2:b.c", "v2:same.sql"}) {
        SCOPED_TRACE(name);
        const auto kept =
            reader.readBlob(rawId(repo.git(std::string("rev-parse ") + name).substr(0, 40)), bytes);
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(bytes, repo.git(std::string("cat-file blob ") + name));
    }
    const std::string tree = repo.git("rev-parse v2^{tree}").substr(0, 40);
    std::vector<git::TreeEntry> entries;
    ASSERT_TRUE(reader.readTree(rawId(tree), entries));
    EXPECT_EQ(treeLines(entries), gitTree(repo, tree));
    EXPECT_EQ(reader.readBlob(rawId(repo.git("rev-parse v2").substr(0, 40)), bytes), nullptr);
    EXPECT_EQ(reader.readBlob("short", bytes), nullptr);

    // The loose blobs read a piece at a time where all are.
    git::PackReader streamingReader = readerOf(repo, 0);
    for (const char* name : {"v2:b.c", "v2:same.sql"}) {
        SCOPED_TRACE(name);
        std::unique_ptr<git::InflatingStream> stream;
        EXPECT_EQ(streamingReader.readBlob(
                      rawId(repo.git(std::string("rev-parse ") + name).substr(0, 40)), bytes, &stream),
                  nullptr);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(streamed(*stream), repo.git(std::string("cat-file blob ") + name));
    }

    // Loose files written here, under made-up ids.
    const std::pair<std::string, bool> files[] = {
        {storedStream(std::string("blob 7\0int b;\n", 14)), true},
        {storedStream(std::string("blob 5\0int b;\n", 14)), false},     // a size too small
        {storedStream(std::string("blob 70\0int b;\n", 15)), false},    // too large
        {storedStream(std::string("blob7\0int b;\n", 13)), false},      // no space
        {storedStream(std::string("blob x\0int b;\n", 14)), false},     // no size
        {storedStream("blob 7 int b;\n"), false},                        // no zero byte
        {storedStream(std::string("tree 7\0int b;\n", 14)), false},     // not a blob
        {storedStream(std::string("blob 7\0int b;\n", 14)).substr(0, 12), false},   // cut short
    };
    int made = 0;
    for (const auto& [file, good] : files) {
        const std::string hex = "ee" + std::string(37, '0') + std::to_string(made++);
        SCOPED_TRACE(hex);
        std::filesystem::create_directories(repo.at(".git/objects/ee"));
        std::ofstream(repo.at(".git/objects/ee/" + hex.substr(2)), std::ios::binary) << file;
        const auto kept = reader.readBlob(rawId(hex), bytes);
        EXPECT_EQ(kept != nullptr, good);
        if (kept != nullptr) {
            EXPECT_EQ(bytes, "int b;\n");
        }
        // Read a piece at a time, the same files read alike, or the stream
        // tells they are damaged (or, of no blob, there is none).
        std::unique_ptr<git::InflatingStream> stream;
        EXPECT_EQ(streamingReader.readBlob(rawId(hex), bytes, &stream), nullptr);
        if (stream == nullptr) continue;
        if (good) {
            EXPECT_EQ(streamed(*stream), "int b;\n");
        } else {
            EXPECT_THROW(streamed(*stream), git::GitError);
        }
    }
}

// Bytes of a pack and of its index changed one at a time, and the pack cut
// short: every object reads as before or is left to libgit2 (nullptr),
// never read wrongly, and nothing is read out of bounds (the sanitizers'
// build checks that).
TEST_F(GitPackStoreTest, DamagedPacksAreNeverReadWrongly) {
    const GitRepo repo = GitRepo::create(temp.at("repo"));
    writeHistory(repo, 3);
    repo.git("repack -a -d -f -q --depth=50 --window=250");
    repo.git("prune-packed");
    std::filesystem::path packPath;
    for (const auto& entry : std::filesystem::directory_iterator(repo.at(".git/objects/pack"))) {
        if (entry.path().extension() == ".pack") packPath = entry.path();
    }
    ASSERT_FALSE(packPath.empty());
    std::filesystem::path indexPath = packPath;
    indexPath.replace_extension(".idx");
    std::vector<std::pair<git::ObjectId, std::string>> blobs;
    for (const StoredObject& object : storedObjects(repo)) {
        if (object.type == "blob") {
            blobs.emplace_back(rawId(object.id), repo.git("cat-file blob " + object.id));
        }
    }
    // Read in their reading order too: many entries from one read of the
    // pack, each still checked.
    std::vector<std::pair<git::ObjectId, std::string>> inReadingOrder = blobs;
    {
        const git::PackReader reader = readerOf(repo);
        std::sort(inReadingOrder.begin(), inReadingOrder.end(), [&](const auto& a, const auto& b) {
            return reader.readingOrder(a.first) < reader.readingOrder(b.first);
        });
    }
    const auto rewrite = [](const std::filesystem::path& path, const std::string& bytes) {
        std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    };
    // Changes the file's first 64 bytes one at a time, then every `step`th,
    // and reads every blob each time; how many reads were left to libgit2.
    const auto damageEach = [&](const std::filesystem::path& path, std::size_t step) {
        const std::string original = readFile(path.string());
        int unread = 0;
        for (std::size_t at = 0; at < original.size(); at += at < 64 ? 1 : step) {
            std::string damaged = original;
            damaged[at] = static_cast<char>(damaged[at] ^ (at % 2 == 0 ? 0x01 : 0x80));
            rewrite(path, damaged);
            git::PackReader reader = readerOf(repo);
            for (const auto& [id, content] : at % 2 == 0 ? inReadingOrder : blobs) {
                std::string_view bytes;
                const auto kept = reader.readBlob(id, bytes);
                if (kept == nullptr) {
                    ++unread;
                } else {
                    EXPECT_EQ(bytes, content) << path.filename() << ", byte " << at << " changed";
                }
            }
        }
        rewrite(path, original);
        return unread;
    };
    EXPECT_GT(damageEach(packPath, 37), 0);
    EXPECT_GT(damageEach(indexPath, 7), 0);   // its fan-out, ids, CRCs and offsets

    // Cut short, the pack no longer matches its index: it is left out.
    const std::string original = readFile(packPath.string());
    rewrite(packPath, original.substr(0, original.size() / 2));
    EXPECT_EQ(git::PackStore({repo.at(".git/objects")}).packCount(), 0U);
    rewrite(packPath, original);
    EXPECT_EQ(git::PackStore({repo.at(".git/objects")}).packCount(), 1U);
}

}  // namespace
}  // namespace stepcount::testing
