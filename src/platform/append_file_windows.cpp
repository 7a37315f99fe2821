#include "platform/append_file.h"

#include <algorithm>
#include <cerrno>

#include "platform/system_windows.h"

namespace stepcount {

// The file is written through its handle, byte for byte: no text mode turns
// the rows' CR LF into CR CR LF.
bool AppendFile::open(const std::string& path) {
    const std::wstring systemPath = windows::systemPath(path);
    if (systemPath.empty()) return false;
    const HANDLE handle =
        windows::openHandle(systemPath, FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    sizeWhenOpened_ =
        ::GetFileSizeEx(handle, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    fd_ = UniqueFd(windows::addDescriptor(handle));
    return fd_.valid();
}

bool AppendFile::write(std::string_view bytes, std::size_t& written) {
    written = 0;
    const HANDLE handle = windows::handleOf(fd_.get());
    if (handle == INVALID_HANDLE_VALUE) return false;
    while (written < bytes.size()) {
        // An offset of all ones writes at the end of the file, whatever
        // another writer has added meanwhile.
        OVERLAPPED atEnd{};
        atEnd.Offset = 0xFFFFFFFF;
        atEnd.OffsetHigh = 0xFFFFFFFF;
        const auto piece =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1 << 30));
        DWORD done = 0;
        if (!::WriteFile(handle, bytes.data() + written, piece, &done, &atEnd)) {
            windows::setErrnoFromLastError();
            return false;
        }
        if (done == 0) {
            errno = EIO;
            return false;
        }
        written += done;
    }
    return true;
}

bool AppendFile::truncate(std::uint64_t size) {
    const HANDLE handle = windows::handleOf(fd_.get());
    if (handle == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) || !::SetEndOfFile(handle)) {
        windows::setErrnoFromLastError();
        return false;
    }
    return true;
}

bool AppendFile::close() {
    if (!fd_.valid()) return true;
    return windows::closeDescriptor(fd_.release());
}

}  // namespace stepcount
