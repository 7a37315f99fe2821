// What the Windows implementations of the platform share: the wide-character
// forms of paths, error numbers for Windows' error codes, and the table of
// open handles behind the program's descriptors.
//
// A descriptor (the int of UniqueFd, FileLocation::folderFd and the folder
// functions) is a slot of one process-wide table that holds an open handle
// and, for a folder, the full path it was opened by in the "\\?\" form. A
// name in an open folder is opened by that path, one "\" and the name, so
// that it works at any depth and length of path (up to the system's limit of
// 32767 UTF-16 units).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <ctime>
#include <string>
#include <string_view>

#include "platform/windows_paths.h"

namespace stepcount::windows {

// Error numbers: a Windows error code that has an errno value (a missing
// file, a refused access ...) gets that value, so that messages read as on
// POSIX; any other code gets kErrorCodeBase + the code, whose text is the
// system's message for it (systemErrorText).
inline constexpr int kErrorCodeBase = 0x10000;
int errorNumber(DWORD code);
// Sets errno to the error number of GetLastError().
void setErrnoFromLastError();

// The "\\?\" form of a path as the user or the program wrote it: made
// absolute and tidied by the system's own rules (GetFullPathNameW: "/" and
// "\" alike, "." and ".." taken out, the current folder of a drive for "C:x")
// and without a trailing separator, except the one of a root ("\\?\C:\"). A
// path in the "\\?\" form already is taken as it is. Empty, with errno set,
// when it cannot be made.
std::wstring systemPath(const std::string& path);

// Opens a path with CreateFileW and FILE_SHARE_READ | FILE_SHARE_WRITE |
// FILE_SHARE_DELETE, as POSIX lets others rename, delete and write what the
// program reads; INVALID_HANDLE_VALUE with errno set on failure.
HANDLE openHandle(const std::wstring& path, DWORD access, DWORD disposition, DWORD flags);

// The table of descriptors. addDescriptor takes over `handle` (closing it
// and returning -1 with errno set when the table cannot take it); the others
// set errno to EBADF for a descriptor that is not open.
int addDescriptor(HANDLE handle, std::wstring folderPath = {});
HANDLE handleOf(int fd);
bool folderPathOf(int fd, std::wstring& path);
bool closeDescriptor(int fd);

// A file time (100 ns units since 1601, UTC) as a time_t, rounded down.
std::time_t timeOf(const FILETIME& time);

}  // namespace stepcount::windows

