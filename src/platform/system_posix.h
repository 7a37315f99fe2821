// What the POSIX implementations of the platform share: opening by path at
// any path length.
#pragma once

#include <string>

namespace stepcount::posix {

// open(2) of `path` with `flags`, also for paths longer than the system's
// path limit: those are opened one component at a time. Returns -1 with
// errno set on failure. O_CLOEXEC is always added.
int openPath(const std::string& path, int flags);

// openat(2) of `path` in the folder `dirFd` with `flags` and O_CLOEXEC,
// tried again when a signal interrupts it.
int openRetrying(int dirFd, const char* path, int flags);

}  // namespace stepcount::posix
