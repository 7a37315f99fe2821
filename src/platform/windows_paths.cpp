#include "platform/windows_paths.h"

#include <algorithm>

#include "platform/utf16.h"

namespace stepcount::windows {

std::wstring wide(std::string_view text) {
    const std::u16string units = utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

std::string utf8(std::wstring_view text) {
    std::u16string units;
    units.reserve(text.size());
    for (const wchar_t unit : text) units += static_cast<char16_t>(unit);
    return utf16ToUtf8(units);
}

std::wstring longPathForm(std::wstring fullPath) {
    std::wstring result;
    if (fullPath.starts_with(L"\\\\?\\") || fullPath.starts_with(L"\\\\.\\")) {
        result = std::move(fullPath);
    } else if (fullPath.starts_with(L"\\\\")) {
        result = L"\\\\?\\UNC\\" + fullPath.substr(2);
    } else {
        result = L"\\\\?\\" + fullPath;
    }
    const std::size_t root = rootLengthOf(std::wstring_view(result));
    while (result.size() > root && (result.back() == L'\\' || result.back() == L'/')) {
        result.pop_back();
    }
    return result;
}

std::wstring childSystemPath(const std::wstring& folder, std::string_view name) {
    if (name == ".") return folder;
    if (name == "..") {
        const std::size_t root = rootLengthOf(std::wstring_view(folder));
        const std::size_t separator = folder.rfind(L'\\');
        if (separator == std::wstring::npos || separator < root) return folder.substr(0, root);
        return folder.substr(0, std::max(separator, root));
    }
    std::wstring path = folder;
    if (!path.ends_with(L'\\')) path += L'\\';
    path += wide(name);
    return path;
}

}  // namespace stepcount::windows
