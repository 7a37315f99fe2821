// File system access below the counters and the walk: descriptors that close
// themselves, opening and reading files at any path length, the rules of
// paths, and the failures as Exceptions that name the file.
//
// One interface with an implementation for POSIX (file_system_posix.cpp) and
// one for Windows (file_system_windows.cpp). Paths and names are the file
// system's own bytes on POSIX; on Windows they are UTF-8, converted from and
// to the system's UTF-16 (platform/utf16.h), and a descriptor is the
// program's own number for an open handle.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <memory>
#include <string_view>
#include <utility>

namespace stepcount {

// The separator of the folders of a path: "/", on Windows "\". A child's
// path is its parent's path, one separator and its name, whatever the
// parent's path ends in.
// kPathSeparators: every character that separates folders in a path given to
// the program: kPathSeparator, and on Windows also "/".
// kRootFolder: the folder of a name right below the root ("/a"), written so
// that it, one kPathSeparator and the name make a path to that name again:
// "/" ("//a" is "/a"); on Windows "\." (as "\\a" would be a network path).
// kNamesAreUtf8: whether names and paths are UTF-8 whatever the system's
// locale (Windows, converted from UTF-16), rather than the file system's own
// bytes (POSIX).
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
inline constexpr std::string_view kPathSeparators = "\\/";
inline constexpr std::string_view kRootFolder = "\\.";
inline constexpr bool kNamesAreUtf8 = true;
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
inline constexpr std::string_view kRootFolder = "/";
inline constexpr bool kNamesAreUtf8 = false;
#endif

constexpr bool isPathSeparator(char c) { return kPathSeparators.find(c) != std::string_view::npos; }

// The position of the last separator of `path`; npos when it has none.
inline std::size_t lastSeparator(std::string_view path) {
    return path.find_last_of(kPathSeparators);
}

// How many bytes of `path` its root takes: "/" on POSIX; on Windows a drive
// ("C:\", or "C:" alone), a network share ("\\server\share\"), the "\\?\"
// forms of those, or a lone separator (the root of the current drive).
// 0 for a relative path.
std::size_t rootLength(std::string_view path);

// The process's current folder, written as the program writes paths; empty
// when it cannot be told.
std::string currentFolder();

// Size and last write of a file, of a link's target for a link.
struct FileFacts {
    std::uint64_t size = 0;
    std::time_t modified = 0;
    // False for a file that has no date of its own or of a commit (a file
    // of a repository's tree that no commit holds).
    bool dated = true;
};

// The bytes of a file read a piece at a time, in order: a file that is not
// read from the file system and is too large to be held whole.
class ContentStream {
public:
    virtual ~ContentStream() = default;
    // Reads the next bytes, up to `size` of them, into `buffer`: how many,
    // 0 at the end. Throws Exception naming the file when they cannot be
    // read.
    virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

// The bytes of a file as a FileContents gives them: held whole in `bytes`
// (valid while `keeper` is kept), or, when `stream` is set, read from it.
struct LoadedContents {
    std::shared_ptr<const void> keeper;
    std::string_view bytes;
    std::unique_ptr<ContentStream> stream;
};

// The bytes of a file that is not read from the file system (a blob of a
// repository): loaded on the thread that reads it, when it is opened.
class FileContents {
public:
    virtual ~FileContents() = default;
    // The file's bytes, and its size and last write in `facts`; throws
    // Exception naming the file (`path`) when they cannot be loaded.
    virtual LoadedContents load(const std::string& path, FileFacts& facts) const = 0;
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

// Opens a file for reading its bytes and tells its size and last write.
// Only a regular file (or a link that leads to one) is accepted; a FIFO or
// device is refused without blocking. Throws Exception naming the path and
// the reason on any failure.
UniqueFd openRegularFileForReading(const FileLocation& file, FileFacts& facts);

// Reads up to `size` bytes of an open file into `buffer`: how many were read,
// 0 at the end of the file, -1 with errno set when reading fails.
std::int64_t readFile(int fd, char* buffer, std::size_t size);

// Reads up to `size` bytes of an open file at `offset`: several threads may
// read one descriptor at once. How many were read (fewer only at the end of
// the file), -1 with errno set on failure. Not to be mixed with readFile on
// one descriptor: on Windows it moves the file's position.
std::int64_t readFileAt(int fd, char* buffer, std::size_t size, std::uint64_t offset);

}  // namespace stepcount
