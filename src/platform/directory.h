// What the folder walk needs of the file system: listing a folder, telling
// what an entry is, opening folders relative to their parent.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace stepcount {

enum class EntryType {
    Folder,        // a folder, or a link that leads to one
    RegularFile,   // a regular file, or a link that leads to one
    Special,       // a FIFO, socket or device: never opened
    Unreachable,   // cannot be inspected: a dangling link, a loop of links, a vanished entry
};

// What tells one folder from every other on the machine: the device and the
// inode; on Windows the volume's serial number and the file's 128-bit id
// (inode its lower half, inodeHigh the upper one, which only ReFS uses).
struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t inodeHigh = 0;
    friend bool operator==(const FolderIdentity&, const FolderIdentity&) = default;
};

// The error number of a folder that, opened again by its path, is no longer
// the folder that was there (ESTALE; on Windows the system's "volume for a
// file has been externally altered").
extern const int kFolderReplacedError;

struct EntryInfo {
    EntryType type = EntryType::Unreachable;
    std::uint64_t size = 0;       // of the file, or of the link's target
    std::time_t modified = 0;     // last write, of the file or the link's target
};

// Opens a folder for listing and for opening its entries; -1 with errno on
// failure (ENOTDIR when `path` is no folder). Works for paths of any length.
// openSubfolder opens `name` in the open folder; ".." is its parent.
UniqueFd openFolder(const std::string& path);
UniqueFd openSubfolder(int folderFd, const std::string& name);

// An entry of a folder listing, with what the listing tells of its type.
struct ListedEntry {
    std::string name;
    // Folder, RegularFile or Special when the listing tells (no links among
    // them); Unreachable when it does not: a link, or a file system that
    // leaves the type out. Those need inspectEntry.
    EntryType type = EntryType::Unreachable;
    // For an entry of a tree that is not on disk (a repository's): its
    // object, and, for an entry that is listed but not counted or not
    // walked, why.
    std::string objectId;
    std::string notice;
};

// The entries of an open folder, "." and ".." left out, sorted by name as
// the walk lists them (sortEntriesByName). False when the folder cannot be
// read.
bool listFolder(int folderFd, std::vector<ListedEntry>& entries);

// Sorts entries by name as the walk lists them (ascii::compareEntryNames).
void sortEntriesByName(std::vector<ListedEntry>& entries);

// listFolder's part that asks the system: appends the entries, "." and ".."
// left out, in the order the system gives them. False, with errno set, when
// the folder cannot be read.
bool readFolderEntries(int folderFd, std::vector<ListedEntry>& entries);

// What `name` in the open folder is, following links.
EntryInfo inspectEntry(int folderFd, const std::string& name);

// The identity of an open folder; false when it cannot be told.
bool identifyFolder(int folderFd, FolderIdentity& identity);

}  // namespace stepcount
