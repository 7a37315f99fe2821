#include "platform/file_system.h"

#include <cerrno>
#include <algorithm>
#include <string>

#include "platform/exception.h"
#include "platform/system_windows.h"

namespace stepcount {

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) windows::closeDescriptor(fd_);
    fd_ = fd;
}

std::size_t rootLength(std::string_view path) { return windows::rootLengthOf(path); }

std::string currentFolder() {
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
        if (length == 0) return {};
        if (length < folder.size()) {
            folder.resize(length);
            return windows::utf8(folder);
        }
        folder.resize(length);
    }
}

UniqueFd openRegularFileForReading(const FileLocation& file, FileFacts& facts) {
    std::wstring path;
    if (file.inFolder()) {
        if (windows::folderPathOf(file.folderFd, path)) {
            path = windows::childSystemPath(path, file.name);
        }
    } else {
        path = windows::systemPath(file.path);
    }
    if (path.empty()) throw systemFailure("Cannot open file", file.path, errno);
    // FILE_FLAG_BACKUP_SEMANTICS opens a folder too, so that it is told as
    // one rather than as a refused access.
    const HANDLE handle =
        windows::openHandle(path, GENERIC_READ, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN);
    if (handle == INVALID_HANDLE_VALUE) throw systemFailure("Cannot open file", file.path, errno);
    UniqueFd fd(windows::addDescriptor(handle));
    if (!fd.valid()) throw systemFailure("Cannot open file", file.path, errno);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        windows::setErrnoFromLastError();
        throw systemFailure("Cannot read file", file.path, errno);
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        throw systemFailure("Cannot read file", file.path, EISDIR);
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        throw Exception("Cannot read file \"" + file.path + "\": it is not a regular file");
    }
    facts.size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    facts.modified = windows::timeOf(info.ftLastWriteTime);
    return fd;
}

std::int64_t readFile(int fd, char* buffer, std::size_t size) {
    const HANDLE handle = windows::handleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, DWORD{1} << 30));
    DWORD got = 0;
    if (::ReadFile(handle, buffer, wanted, &got, nullptr)) return got;
    const DWORD code = ::GetLastError();
    if (code == ERROR_HANDLE_EOF || code == ERROR_BROKEN_PIPE) return 0;
    errno = windows::errorNumber(code);
    return -1;
}

std::int64_t readFileAt(int fd, char* buffer, std::size_t size, std::uint64_t offset) {
    const HANDLE handle = windows::handleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + done);
        at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size - done, DWORD{1} << 30));
        DWORD got = 0;
        if (!::ReadFile(handle, buffer + done, wanted, &got, &at)) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_HANDLE_EOF) break;
            errno = windows::errorNumber(code);
            return -1;
        }
        if (got == 0) break;
        done += got;
    }
    return static_cast<std::int64_t>(done);
}

}  // namespace stepcount
