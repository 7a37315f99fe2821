#include "platform/system_windows.h"

#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace stepcount::windows {

int errorNumber(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_NETWORK_ACCESS_DENIED: return EACCES;
        case ERROR_DIRECTORY: return ENOTDIR;
        case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return ENOMEM;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        case ERROR_INVALID_HANDLE: return EBADF;
        case ERROR_INVALID_PARAMETER: return EINVAL;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_WRITE_PROTECT: return EROFS;
        case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA: return EPIPE;
        default: return kErrorCodeBase + static_cast<int>(code & 0xFFFF);
    }
}

void setErrnoFromLastError() { errno = errorNumber(::GetLastError()); }

std::wstring systemPath(const std::string& path) {
    if (path.empty()) {
        errno = ENOENT;
        return {};
    }
    if (path.find('\0') != std::string::npos) {
        errno = EINVAL;
        return {};
    }
    const std::wstring given = wide(path);
    if (given.starts_with(L"\\\\?\\")) return given;
    std::wstring full(given.size() + MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()),
                                                full.data(), nullptr);
        if (length == 0) {
            setErrnoFromLastError();
            return {};
        }
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);   // the size it needs, with its terminating NUL
    }
    return longPathForm(std::move(full));
}

HANDLE openHandle(const std::wstring& path, DWORD access, DWORD disposition, DWORD flags) {
    const HANDLE handle =
        ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) setErrnoFromLastError();
    return handle;
}

namespace {

struct Slot {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::shared_ptr<const std::wstring> folderPath;
};

// The descriptors: slots in use hold a handle; free ones are reused, the
// last freed first. Counting threads open and read files through their
// folders' slots while the walk opens and closes others.
class DescriptorTable {
public:
    int add(HANDLE handle, std::wstring folderPath) {
        std::shared_ptr<const std::wstring> path;
        if (!folderPath.empty()) path = std::make_shared<const std::wstring>(std::move(folderPath));
        ::AcquireSRWLockExclusive(&lock_);
        int fd;
        if (!free_.empty()) {
            fd = free_.back();
            free_.pop_back();
        } else {
            fd = static_cast<int>(slots_.size());
            slots_.emplace_back();
        }
        slots_[static_cast<std::size_t>(fd)] = Slot{handle, std::move(path)};
        ::ReleaseSRWLockExclusive(&lock_);
        return fd;
    }

    bool find(int fd, Slot& slot) {
        ::AcquireSRWLockShared(&lock_);
        const bool open = fd >= 0 && static_cast<std::size_t>(fd) < slots_.size() &&
                          slots_[static_cast<std::size_t>(fd)].handle != INVALID_HANDLE_VALUE;
        if (open) slot = slots_[static_cast<std::size_t>(fd)];
        ::ReleaseSRWLockShared(&lock_);
        if (!open) errno = EBADF;
        return open;
    }

    bool remove(int fd, Slot& slot) {
        ::AcquireSRWLockExclusive(&lock_);
        const bool open = fd >= 0 && static_cast<std::size_t>(fd) < slots_.size() &&
                          slots_[static_cast<std::size_t>(fd)].handle != INVALID_HANDLE_VALUE;
        if (open) {
            slot = std::exchange(slots_[static_cast<std::size_t>(fd)], Slot{});
            free_.push_back(fd);
        }
        ::ReleaseSRWLockExclusive(&lock_);
        if (!open) errno = EBADF;
        return open;
    }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<Slot> slots_;
    std::vector<int> free_;
};

DescriptorTable& descriptors() {
    // Never destroyed: descriptors may still be closed while the program ends.
    static DescriptorTable* const table = new DescriptorTable;
    return *table;
}

}  // namespace

int addDescriptor(HANDLE handle, std::wstring folderPath) {
    try {
        return descriptors().add(handle, std::move(folderPath));
    } catch (const std::bad_alloc&) {
        ::CloseHandle(handle);
        errno = ENOMEM;
        return -1;
    }
}

HANDLE handleOf(int fd) {
    Slot slot;
    return descriptors().find(fd, slot) ? slot.handle : INVALID_HANDLE_VALUE;
}

bool folderPathOf(int fd, std::wstring& path) {
    Slot slot;
    if (!descriptors().find(fd, slot)) return false;
    if (slot.folderPath == nullptr) {
        errno = ENOTDIR;
        return false;
    }
    path = *slot.folderPath;
    return true;
}

bool closeDescriptor(int fd) {
    Slot slot;
    if (!descriptors().remove(fd, slot)) return false;
    if (::CloseHandle(slot.handle)) return true;
    setErrnoFromLastError();
    return false;
}

std::time_t timeOf(const FILETIME& time) {
    constexpr std::int64_t kTicksPerSecond = 10'000'000;
    constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
    const std::uint64_t ticks = std::uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime;
    return static_cast<std::time_t>(static_cast<std::int64_t>(ticks / kTicksPerSecond) -
                                    kSecondsFrom1601To1970);
}

}  // namespace stepcount::windows
