// File system access below the counters and the walk: descriptors that close
// themselves, opening by path at any path length, and the failures as
// Exceptions that name the file.
#pragma once

#include <string>

namespace stepcount {

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

// Opens `path` for reading its bytes. Only a regular file (or a link that
// leads to one) is accepted; a FIFO or device is refused without blocking.
// Throws Exception naming the path and the reason on any failure.
UniqueFd openRegularFileForReading(const std::string& path);

}  // namespace stepcount
