#include <git2.h>

#include <map>
#include <mutex>
#include <utility>

#include "git/pack_store.h"
#include "git/repository.h"

namespace stepcount::git {

namespace {

void initialise() {
    static std::once_flag once;
    std::call_once(once, [] {
        git_libgit2_init();
        // Packs are mapped a window at a time, within a bound for the whole
        // process: memory stays flat however large the repository.
        git_libgit2_opts(GIT_OPT_SET_MWINDOW_SIZE, std::size_t{8} << 20);
        git_libgit2_opts(GIT_OPT_SET_MWINDOW_MAPPED_LIMIT, std::size_t{32} << 20);
        // Objects are read as git reads them, without hashing each again to
        // check its id: that took half the time of reading a revision.
        git_libgit2_opts(GIT_OPT_ENABLE_STRICT_HASH_VERIFICATION, 0);
    });
}

// The last libgit2 error's message, for the details of a GitError.
std::string lastError() {
    const git_error* error = git_error_last();
    return error != nullptr && error->message != nullptr ? error->message : "unknown error";
}

template <class Object, void (*Free)(Object*)>
struct Owned {
    Object* object = nullptr;
    ~Owned() {
        if (object != nullptr) Free(object);
    }
};
using OwnedObject = Owned<git_object, git_object_free>;
using OwnedTree = Owned<git_tree, git_tree_free>;
using OwnedEntry = Owned<git_tree_entry, git_tree_entry_free>;
using OwnedBlob = Owned<git_blob, git_blob_free>;

ObjectId idOf(const git_oid* oid) {
    return ObjectId(reinterpret_cast<const char*>(oid->id), GIT_OID_RAWSZ);
}

git_oid oidOf(const ObjectId& id) {
    git_oid oid;
    git_oid_fromraw(&oid, reinterpret_cast<const unsigned char*>(id.data()));
    return oid;
}

class LibGit2Repository : public Repository {
public:
    LibGit2Repository(git_repository* repository, std::string openedAt)
        : repository_(repository, git_repository_free),
          openedAt_(std::move(openedAt)),
          packs_(packStoreOf(std::string(git_repository_commondir(repository)) + "objects")) {}

    RevisionTree resolve(const std::string& revision, const std::string& subfolder) override {
        OwnedObject object;
        if (git_revparse_single(&object.object, repository_.get(), revision.c_str()) != 0) {
            throw GitError("unknown revision '" + revision + "' in the repository at " + openedAt_);
        }
        RevisionTree resolved;
        OwnedObject commit;
        if (git_object_peel(&commit.object, object.object, GIT_OBJECT_COMMIT) == 0) {
            resolved.commitTime = static_cast<std::time_t>(
                git_commit_time(reinterpret_cast<const git_commit*>(commit.object)));
            resolved.committed = true;
        }
        OwnedObject tree;
        if (git_object_peel(&tree.object, object.object, GIT_OBJECT_TREE) != 0) {
            throw GitError("'" + revision + "' names a file, not a folder tree, in the repository at " +
                           openedAt_);
        }
        if (subfolder.empty()) {
            resolved.tree = idOf(git_object_id(tree.object));
            return resolved;
        }
        OwnedEntry entry;
        if (git_tree_entry_bypath(&entry.object, reinterpret_cast<git_tree*>(tree.object),
                                  subfolder.c_str()) != 0) {
            throw GitError("no folder '" + subfolder + "' in revision '" + revision + "'");
        }
        if (git_tree_entry_type(entry.object) != GIT_OBJECT_TREE) {
            const git_filemode_t mode = git_tree_entry_filemode(entry.object);
            const char* what = mode == GIT_FILEMODE_COMMIT ? "a submodule (another repository)"
                               : mode == GIT_FILEMODE_LINK ? "a symbolic link"
                                                           : "a file";
            throw GitError("'" + subfolder + "' in revision '" + revision + "' is " + what +
                           ", not a folder");
        }
        resolved.tree = idOf(git_tree_entry_id(entry.object));
        return resolved;
    }

    std::vector<TreeEntry> list(const ObjectId& id) override {
        std::vector<TreeEntry> entries;
        if (packs_.readTree(id, entries)) return entries;
        const git_oid oid = oidOf(id);
        OwnedTree tree;
        if (git_tree_lookup(&tree.object, repository_.get(), &oid) != 0) {
            throw GitError("cannot read a folder of the repository: " + lastError());
        }
        const std::size_t count = git_tree_entrycount(tree.object);
        entries.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const git_tree_entry* entry = git_tree_entry_byindex(tree.object, i);
            TreeEntry listed;
            listed.name = git_tree_entry_name(entry);
            listed.id = idOf(git_tree_entry_id(entry));
            switch (git_tree_entry_filemode(entry)) {
                case GIT_FILEMODE_TREE: listed.kind = TreeEntry::Kind::Tree; break;
                case GIT_FILEMODE_LINK: listed.kind = TreeEntry::Kind::Link; break;
                case GIT_FILEMODE_COMMIT: listed.kind = TreeEntry::Kind::Submodule; break;
                default: listed.kind = TreeEntry::Kind::File; break;
            }
            entries.push_back(std::move(listed));
        }
        return entries;
    }

    LoadedContents read(const ObjectId& id, std::uint64_t& size) override {
        LoadedContents loaded;
        std::unique_ptr<InflatingStream> stream;
        loaded.keeper = packs_.readBlob(id, loaded.bytes, &stream);
        if (stream != nullptr) {
            size = stream->size();
            loaded.stream = std::move(stream);
            return loaded;
        }
        if (loaded.keeper != nullptr) {
            size = loaded.bytes.size();
            return loaded;
        }
        const git_oid oid = oidOf(id);
        OwnedBlob blob;
        const int failed = git_blob_lookup(&blob.object, repository_.get(), &oid);
        if (failed == GIT_ENOTFOUND) throw GitError("not in the repository (" + lastError() + ")");
        if (failed != 0) {
            // There, but it does not inflate (or its pack cannot be read).
            throw GitError("damaged in the repository (" + lastError() + ")");
        }
        size = static_cast<std::uint64_t>(git_blob_rawsize(blob.object));
        loaded.bytes = std::string_view(static_cast<const char*>(git_blob_rawcontent(blob.object)),
                                        static_cast<std::size_t>(size));
        // The bytes are the blob's own, read in place, not copied.
        loaded.keeper = std::shared_ptr<const void>(std::exchange(blob.object, nullptr), git_blob_free);
        return loaded;
    }

    std::uint64_t readingOrder(const ObjectId& id) override { return packs_.readingOrder(id); }
    PackedObjects packedObjects() override { return packs_.packedObjects(); }
    void readsInOrder(bool inOrder) override { packs_.readsInOrder(inOrder); }

    const std::string& openedAt() const override { return openedAt_; }

    std::string workTree() const override {
        const char* folder = git_repository_workdir(repository_.get());
        return folder != nullptr ? folder : "";
    }

private:
    // The store of the packs of the object store `folder` (and of those it
    // borrows from), shared by the threads that read it at the same time,
    // opened again once none does.
    static std::shared_ptr<const PackStore> packStoreOf(const std::string& folder) {
        static std::mutex mutex;
        static std::map<std::string, std::weak_ptr<const PackStore>> stores;
        const std::lock_guard<std::mutex> lock(mutex);
        std::weak_ptr<const PackStore>& shared = stores[folder];
        std::shared_ptr<const PackStore> store = shared.lock();
        if (store == nullptr) {
            store = std::make_shared<const PackStore>(objectFoldersOf(folder));
            shared = store;
        }
        return store;
    }

    // Freed also when a later member cannot be made.
    std::unique_ptr<git_repository, decltype(&git_repository_free)> repository_;
    std::string openedAt_;
    // Blobs are read from the packs directly where they can be, and through
    // libgit2 otherwise.
    PackReader packs_;
};

}  // namespace

bool available() { return true; }

std::unique_ptr<Repository> Repository::open(const std::string& path) {
    initialise();
    git_repository* repository = nullptr;
    const int failed = git_repository_open_ext(&repository, path.c_str(), 0, nullptr);
    if (failed == GIT_ENOTFOUND) throw GitError("no git repository at '" + path + "'");
    if (failed != 0) {
        // There, but of a form this cannot read (SHA-256 ids, extensions).
        throw GitError("cannot read the git repository at '" + path + "': " + lastError());
    }
    return std::make_unique<LibGit2Repository>(repository, path);
}

Repository& repositoryForThisThread(const std::string& path) {
    thread_local std::map<std::string, std::unique_ptr<Repository>> repositories;
    // Asked for each file: the last one answers most.
    thread_local std::pair<const std::string, std::unique_ptr<Repository>>* last = nullptr;
    if (last != nullptr && last->first == path) return *last->second;
    auto& repository = *repositories.try_emplace(path).first;
    if (!repository.second) repository.second = Repository::open(path);
    last = &repository;
    return *repository.second;
}

}  // namespace stepcount::git
