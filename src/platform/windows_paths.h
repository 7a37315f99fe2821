// The rules of Windows paths that need no system call: roots, the "\\?\"
// form, the path of an entry in a folder, and UTF-8 <-> UTF-16 for wchar_t.
// Plain text work, built on every system so that it is tested everywhere;
// the Windows implementations of the platform use it (system_windows.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace stepcount::windows {

// How many characters of `path` its root takes, "\" and "/" alike: a drive
// ("C:\" 3, "C:" 2), a network share ("\\server\share\"), the "\\?\" and
// "\\.\" forms of those and of other roots ("\\?\Volume{...}\"), a lone
// separator 1; 0 for a relative path.
template <class Char>
std::size_t rootLengthOf(std::basic_string_view<Char> path) {
    const auto separator = [&](std::size_t at) {
        return at < path.size() && (path[at] == Char('\\') || path[at] == Char('/'));
    };
    // The end of the component that starts at `from`, with its separator.
    const auto component = [&](std::size_t from) {
        while (from < path.size() && !separator(from)) ++from;
        return separator(from) ? from + 1 : from;
    };
    const auto drive = [&](std::size_t at) {
        const Char letter = at < path.size() ? path[at] : Char(0);
        return ((letter >= Char('A') && letter <= Char('Z')) ||
                (letter >= Char('a') && letter <= Char('z'))) &&
               at + 1 < path.size() && path[at + 1] == Char(':');
    };
    if (drive(0)) return separator(2) ? 3 : 2;
    if (!separator(0)) return 0;
    if (!separator(1)) return 1;
    // "\\?\" or "\\.\": a drive, "UNC\server\share\" or a device's name.
    if (path.size() >= 4 && (path[2] == Char('?') || path[2] == Char('.')) && separator(3)) {
        if (drive(4)) return separator(6) ? 7 : 6;
        const std::size_t device = component(4);
        const auto letter = [&](std::size_t at, char upper) {
            return path[at] == Char(upper) || path[at] == Char(upper - 'A' + 'a');
        };
        const bool unc = device == 8 && letter(4, 'U') && letter(5, 'N') && letter(6, 'C');
        return unc ? component(component(device)) : device;
    }
    // "\\server\share\".
    return component(component(2));
}

// UTF-8 and UTF-16 in wchar_t (see platform/utf16.h).
std::wstring wide(std::string_view text);
std::string utf8(std::wstring_view text);

// The "\\?\" form of an absolute path that GetFullPathNameW has made:
// "C:\a" gives "\\?\C:\a", "\\server\share\a" "\\?\UNC\server\share\a", a
// device path ("\\.\") stays as it is; trailing separators are dropped,
// except the one of a root ("\\?\C:\").
std::wstring longPathForm(std::wstring fullPath);

// The path of `name` in the folder of system path `folder`: "." is the
// folder, ".." its parent (the root's is the root), any other name is added
// after one "\" as it is.
std::wstring childSystemPath(const std::wstring& folder, std::string_view name);

}  // namespace stepcount::windows
