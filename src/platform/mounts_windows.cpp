#include "platform/mounts.h"

#include "platform/system_windows.h"

namespace stepcount {

std::vector<std::string> listDrives() {
    std::wstring roots(256, L'\0');
    for (;;) {
        const DWORD length =
            ::GetLogicalDriveStringsW(static_cast<DWORD>(roots.size()), roots.data());
        if (length == 0) return {};
        if (length < roots.size()) {
            roots.resize(length);
            break;
        }
        roots.resize(length + 1);
    }
    // "C:\", NUL, "D:\", NUL ...
    std::vector<std::string> drives;
    for (std::size_t start = 0; start < roots.size();) {
        const std::size_t end = roots.find(L'\0', start);
        const std::size_t stop = end == std::wstring::npos ? roots.size() : end;
        if (stop > start) {
            drives.push_back(windows::utf8(std::wstring_view(roots).substr(start, stop - start)));
        }
        start = stop + 1;
    }
    return drives;
}

}  // namespace stepcount
