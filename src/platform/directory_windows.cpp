#include "platform/directory.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/system_windows.h"

namespace stepcount {

const int kFolderReplacedError = windows::kErrorCodeBase + ERROR_FILE_INVALID;

namespace {

// Opens the folder at a system path for listing and for opening its
// entries; links (symbolic links, junctions) on the way are followed.
UniqueFd openFolderAt(std::wstring path) {
    const HANDLE handle =
        windows::openHandle(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) return UniqueFd();
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
        windows::setErrnoFromLastError();
        ::CloseHandle(handle);
        return UniqueFd();
    }
    if ((basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::CloseHandle(handle);
        errno = ENOTDIR;
        return UniqueFd();
    }
    return UniqueFd(windows::addDescriptor(handle, std::move(path)));
}

// What a listing tells of an entry: a reparse point (a symbolic link, a
// junction, or another kind) is looked at by inspectEntry, which follows it.
EntryType listedType(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryType::Unreachable;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryType::Folder;
    return EntryType::RegularFile;
}

// Reads the entries of an open folder from its start, through its handle (so
// that it is the folder that was opened, wherever it has gone since).
bool readEntries(HANDLE folder, std::vector<ListedEntry>& entries) {
    constexpr std::size_t kBufferBytes = 64 * 1024;
    // FILE_FULL_DIR_INFO records lie on 8-byte boundaries.
    const auto buffer = std::make_unique<std::uint64_t[]>(kBufferBytes / sizeof(std::uint64_t));
    FILE_INFO_BY_HANDLE_CLASS request = FileFullDirectoryRestartInfo;
    for (;;) {
        if (!::GetFileInformationByHandleEx(folder, request, buffer.get(), kBufferBytes)) {
            const DWORD code = ::GetLastError();
            // The end of the listing; a folder without entries (a drive's
            // root has not even "." and "..") tells that it has none.
            if (code == ERROR_NO_MORE_FILES || code == ERROR_FILE_NOT_FOUND) return true;
            errno = windows::errorNumber(code);
            return false;
        }
        request = FileFullDirectoryInfo;
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.get());
        for (std::size_t at = 0;;) {
            const auto* entry = reinterpret_cast<const FILE_FULL_DIR_INFO*>(bytes + at);
            const std::wstring_view name(entry->FileName, entry->FileNameLength / sizeof(WCHAR));
            if (name != L"." && name != L"..") {
                ListedEntry& listed = entries.emplace_back();
                listed.name = windows::utf8(name);
                listed.type = listedType(entry->FileAttributes);
            }
            if (entry->NextEntryOffset == 0) break;
            at += entry->NextEntryOffset;
        }
    }
}

}  // namespace

UniqueFd openFolder(const std::string& path) {
    std::wstring systemPath = windows::systemPath(path);
    if (systemPath.empty()) return UniqueFd();
    return openFolderAt(std::move(systemPath));
}

UniqueFd openSubfolder(int folderFd, const std::string& name) {
    std::wstring folder;
    if (!windows::folderPathOf(folderFd, folder)) return UniqueFd();
    return openFolderAt(windows::childSystemPath(folder, name));
}

bool readFolderEntries(int folderFd, std::vector<ListedEntry>& entries) {
    const HANDLE folder = windows::handleOf(folderFd);
    return folder != INVALID_HANDLE_VALUE && readEntries(folder, entries);
}

EntryInfo inspectEntry(int folderFd, const std::string& name) {
    EntryInfo info;
    std::wstring folder;
    if (!windows::folderPathOf(folderFd, folder)) return info;
    // Without FILE_FLAG_OPEN_REPARSE_POINT a link is followed to its target.
    const HANDLE handle = windows::openHandle(windows::childSystemPath(folder, name),
                                              FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS);
    if (handle == INVALID_HANDLE_VALUE) return info;
    BY_HANDLE_FILE_INFORMATION facts{};
    if (::GetFileInformationByHandle(handle, &facts)) {
        if (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            info.type = EntryType::Folder;
        } else if (::GetFileType(handle) == FILE_TYPE_DISK) {
            info.type = EntryType::RegularFile;
        } else {
            info.type = EntryType::Special;
        }
        info.size = std::uint64_t{facts.nFileSizeHigh} << 32 | facts.nFileSizeLow;
        info.modified = windows::timeOf(facts.ftLastWriteTime);
    }
    ::CloseHandle(handle);
    return info;
}

bool identifyFolder(int folderFd, FolderIdentity& identity) {
    const HANDLE folder = windows::handleOf(folderFd);
    if (folder == INVALID_HANDLE_VALUE) return false;
    // The 128-bit file id where the file system has one (ReFS needs it),
    // the 64-bit file index elsewhere.
    FILE_ID_INFO id{};
    if (::GetFileInformationByHandleEx(folder, FileIdInfo, &id, sizeof id)) {
        identity.device = id.VolumeSerialNumber;
        std::memcpy(&identity.inode, id.FileId.Identifier, sizeof identity.inode);
        std::memcpy(&identity.inodeHigh, id.FileId.Identifier + sizeof identity.inode,
                    sizeof identity.inodeHigh);
        return true;
    }
    BY_HANDLE_FILE_INFORMATION facts{};
    if (!::GetFileInformationByHandle(folder, &facts)) {
        windows::setErrnoFromLastError();
        return false;
    }
    identity.device = facts.dwVolumeSerialNumber;
    identity.inode = std::uint64_t{facts.nFileIndexHigh} << 32 | facts.nFileIndexLow;
    identity.inodeHigh = 0;
    return true;
}

}  // namespace stepcount
