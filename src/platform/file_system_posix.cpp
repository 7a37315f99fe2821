#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "platform/exception.h"
#include "platform/system_posix.h"

namespace stepcount {

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

namespace posix {

int openRetrying(int dirFd, const char* path, int flags) {
    int fd;
    do {
        fd = ::openat(dirFd, path, flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

namespace {

// Opens a path that is too long for one system call by walking it one
// component at a time from the root or the current folder.
int openLongPath(const std::string& path, int flags) {
    UniqueFd dir;
    int at = AT_FDCWD;
    std::size_t pos = 0;
    if (!path.empty() && path[0] == '/') {
        dir.reset(openRetrying(AT_FDCWD, "/", O_RDONLY | O_DIRECTORY));
        if (!dir.valid()) return -1;
        at = dir.get();
        pos = path.find_first_not_of('/');
        if (pos == std::string::npos) return openRetrying(at, ".", flags);
    }
    for (;;) {
        const std::size_t slash = path.find('/', pos);
        const std::string component =
            path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        if (component.size() > NAME_MAX) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const std::size_t rest =
            slash == std::string::npos ? std::string::npos : path.find_first_not_of('/', slash);
        if (rest == std::string::npos) {
            // Last component; a trailing separator asks for a folder.
            const int lastFlags = slash == std::string::npos ? flags : flags | O_DIRECTORY;
            return openRetrying(at, component.c_str(), lastFlags);
        }
        UniqueFd next(openRetrying(at, component.c_str(), O_RDONLY | O_DIRECTORY));
        if (!next.valid()) return -1;
        dir = std::move(next);
        at = dir.get();
        pos = rest;
    }
}

}  // namespace

int openPath(const std::string& path, int flags) {
    if (path.find('\0') != std::string::npos) {
        errno = EINVAL;
        return -1;
    }
    const int fd = openRetrying(AT_FDCWD, path.c_str(), flags);
    if (fd >= 0 || errno != ENAMETOOLONG) return fd;
    return openLongPath(path, flags);
}

}  // namespace posix

std::size_t rootLength(std::string_view path) { return path.starts_with('/') ? 1 : 0; }

std::string currentFolder() {
    std::string folder(256, '\0');
    for (;;) {
        if (::getcwd(folder.data(), folder.size()) != nullptr) {
            folder.resize(folder.find('\0'));
            return folder;
        }
        if (errno != ERANGE) return {};
        folder.resize(folder.size() * 2);
    }
}

UniqueFd openRegularFileForReading(const FileLocation& file, FileFacts& facts) {
    // O_NONBLOCK keeps the open of a FIFO without a writer from hanging; it
    // has no effect on reading a regular file.
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY;
    UniqueFd fd(file.inFolder() ? posix::openRetrying(file.folderFd, file.name.c_str(), kFlags)
                                : posix::openPath(file.path, kFlags));
    if (!fd.valid()) throw systemFailure("Cannot open file", file.path, errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) throw systemFailure("Cannot read file", file.path, errno);
    if (S_ISDIR(info.st_mode)) throw systemFailure("Cannot read file", file.path, EISDIR);
    if (!S_ISREG(info.st_mode)) {
        throw Exception("Cannot read file \"" + file.path + "\": it is not a regular file");
    }
    facts.size = static_cast<std::uint64_t>(info.st_size);
    facts.modified = info.st_mtim.tv_sec;
    return fd;
}

std::int64_t readFile(int fd, char* buffer, std::size_t size) {
    ssize_t got;
    do {
        got = ::read(fd, buffer, size);
    } while (got < 0 && errno == EINTR);
    return got;
}

std::int64_t readFileAt(int fd, char* buffer, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

}  // namespace stepcount
