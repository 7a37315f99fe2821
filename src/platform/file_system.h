// File system access below the counters and the walk: descriptors that close
// themselves, opening by path at any path length, and the failures as
// Exceptions that name the file.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>

namespace stepcount {

// The separator of the folders of a path. A child's path is its parent's
// path, one separator and its name, whatever the parent's path ends in.
inline constexpr char kPathSeparator = '/';

// Size and last write of a file, of a link's target for a link.
struct FileFacts {
    std::uint64_t size = 0;
    std::time_t modified = 0;
};

// The bytes of a file that is not read from the file system (a blob of a
// repository): loaded on the thread that reads it, when it is opened.
class FileContents {
public:
    virtual ~FileContents() = default;
    // Sets `bytes` to the file's bytes and `facts` to its size and last
    // write; throws Exception naming the file (`path`) when they cannot be
    // loaded.
    virtual void load(const std::string& path, std::string& bytes, FileFacts& facts) const = 0;
};

// A file to open: its path, and, when its folder is open already, the
// folder's descriptor and the file's name in it. Opening through the folder
// does not resolve the whole path again; the path still names the file in
// messages. A location holds its own copies, so it never outlives its texts.
struct FileLocation {
    FileLocation() = default;
    FileLocation(std::string filePath) : path(std::move(filePath)) {}  // NOLINT: a path is a location
    FileLocation(std::string filePath, int folder, std::string nameInFolder)
        : path(std::move(filePath)), folderFd(folder), name(std::move(nameInFolder)) {}

    // Whether the file is opened through its folder's descriptor.
    bool inFolder() const { return folderFd >= 0; }

    std::string path;
    int folderFd = -1;   // -1: open by path
    std::string name;    // the file's name in folderFd
    // When set, the file's bytes come from here, not from the file system;
    // `path` still names it in messages.
    const FileContents* contents = nullptr;
};

// Owns one file descriptor and closes it.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// open(2) of `path` with `flags`, also for paths longer than the system's
// path limit: those are opened one component at a time. Returns -1 with
// errno set on failure. O_CLOEXEC is always added.
int openPath(const std::string& path, int flags);

// Opens a file for reading its bytes and tells its size and last write.
// Only a regular file (or a link that leads to one) is accepted; a FIFO or
// device is refused without blocking. Throws Exception naming the path and
// the reason on any failure.
UniqueFd openRegularFileForReading(const FileLocation& file, FileFacts& facts);

}  // namespace stepcount
