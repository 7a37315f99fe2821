#include "platform/directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/system_posix.h"

namespace stepcount {

const int kFolderReplacedError = ESTALE;

UniqueFd openFolder(const std::string& path) {
    return UniqueFd(posix::openPath(path, O_RDONLY | O_DIRECTORY));
}

UniqueFd openSubfolder(int folderFd, const std::string& name) {
    return UniqueFd(posix::openRetrying(folderFd, name.c_str(), O_RDONLY | O_DIRECTORY));
}

namespace {

EntryType listedType(unsigned char type) {
    switch (type) {
        case DT_DIR: return EntryType::Folder;
        case DT_REG: return EntryType::RegularFile;
        case DT_FIFO:
        case DT_SOCK:
        case DT_CHR:
        case DT_BLK: return EntryType::Special;
        default: return EntryType::Unreachable;  // a link, or not told
    }
}

void addEntry(std::vector<ListedEntry>& entries, const char* name, unsigned char type) {
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return;
    ListedEntry& entry = entries.emplace_back();
    entry.name = name;
    entry.type = listedType(type);
}

}  // namespace

// Reads the entries of the folder from its start.
bool readFolderEntries(int folderFd, std::vector<ListedEntry>& entries) {
#if defined(__linux__)
    // The entries straight from the kernel: a walk lists every folder, and
    // this spares the copy, checks and rewinding of a directory stream.
    if (::lseek(folderFd, 0, SEEK_SET) < 0) return false;
    alignas(dirent64) char buffer[32 * 1024];
    for (;;) {
        const ssize_t got = ::getdents64(folderFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        for (ssize_t at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            addEntry(entries, entry->d_name, entry->d_type);
            at += entry->d_reclen;
        }
    }
#else
    // fdopendir takes the descriptor it is given, so it gets a copy.
    const int copy = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return false;
    DIR* dir = ::fdopendir(copy);
    if (dir == nullptr) {
        ::close(copy);
        return false;
    }
    ::rewinddir(dir);
    bool ok = true;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            ok = errno == 0;
            break;
        }
        addEntry(entries, entry->d_name, entry->d_type);
    }
    const int failure = errno;
    ::closedir(dir);
    errno = failure;
    return ok;
#endif
}

EntryInfo inspectEntry(int folderFd, const std::string& name) {
    EntryInfo info;
    struct stat st {};
    if (::fstatat(folderFd, name.c_str(), &st, 0) != 0) return info;
    if (S_ISDIR(st.st_mode)) {
        info.type = EntryType::Folder;
    } else if (S_ISREG(st.st_mode)) {
        info.type = EntryType::RegularFile;
    } else {
        info.type = EntryType::Special;
    }
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.modified = st.st_mtim.tv_sec;
    return info;
}

bool identifyFolder(int folderFd, FolderIdentity& identity) {
    struct stat st {};
    if (::fstat(folderFd, &st) != 0) return false;
    identity.device = static_cast<std::uint64_t>(st.st_dev);
    identity.inode = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

}  // namespace stepcount
