#include <string.h>

#include "platform/exception.h"
#include "platform/system_windows.h"

namespace stepcount {

namespace {

// The system's message for a Windows error code, in English where the
// system has it (as the messages around it are), without the closing period
// and line break.
std::string messageOf(DWORD code) {
    for (const DWORD language :
         {static_cast<DWORD>(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)), DWORD{0}}) {
        wchar_t* text = nullptr;
        constexpr DWORD kFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS;
        const DWORD length = ::FormatMessageW(kFlags, nullptr, code, language,
                                              reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        if (length == 0) continue;
        std::wstring message(text, length);
        ::LocalFree(text);
        while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                    message.back() == L' ' || message.back() == L'.')) {
            message.pop_back();
        }
        if (!message.empty()) return windows::utf8(message);
    }
    return {};
}

}  // namespace

std::string systemErrorText(int errnoValue) {
    if (errnoValue >= windows::kErrorCodeBase) {
        const auto code = static_cast<DWORD>(errnoValue - windows::kErrorCodeBase);
        const std::string message = messageOf(code);
        if (!message.empty()) return message;
        return "Windows error " + std::to_string(code);
    }
    char buffer[256] = {};
    if (::strerror_s(buffer, sizeof buffer, errnoValue) == 0 && buffer[0] != '\0') return buffer;
    return "error " + std::to_string(errnoValue);
}

}  // namespace stepcount
