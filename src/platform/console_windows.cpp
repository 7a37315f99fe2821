#include "platform/console.h"

#include "platform/system_windows.h"

#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <csignal>

#include "platform/stop_request.h"
#include "platform/utf16.h"

namespace stepcount::console {

namespace {

volatile LONG lastInterrupt = 0;

// The console behind `stream`, or nullptr when it goes to a file or a pipe.
HANDLE consoleOf(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) return nullptr;
    return handle;
}

// Lets the console act on the progress line's escape sequences (erasing to
// the end of the line); false where it cannot (before Windows 10).
bool takesEscapes(HANDLE console) {
    DWORD mode = 0;
    if (!::GetConsoleMode(console, &mode)) return false;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
    return ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != FALSE;
}

BOOL WINAPI onConsoleEvent(DWORD event) { return handleConsoleEvent(event) ? TRUE : FALSE; }

}  // namespace

// Read from the command line as the system keeps it, in UTF-16, so that any
// name can be given whatever the system's code page.
std::vector<std::string> arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wideArguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wideArguments == nullptr) {
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    }
    std::vector<std::string> result;
    for (int i = 1; i < count; ++i) result.push_back(windows::utf8(wideArguments[i]));
    ::LocalFree(wideArguments);
    return result;
}

// A console is written in UTF-16, so that Japanese reads right whatever its
// code page; a file or a pipe gets the UTF-8 bytes.
void write(std::FILE* stream, std::string_view text) {
    if (const HANDLE console = consoleOf(stream)) {
        std::fflush(stream);
        const std::u16string units = utf8ToUtf16(text);
        const std::wstring wide(units.begin(), units.end());
        for (std::size_t at = 0; at < wide.size();) {
            DWORD done = 0;
            const auto piece = static_cast<DWORD>(std::min<std::size_t>(wide.size() - at, 8192));
            if (!::WriteConsoleW(console, wide.data() + at, piece, &done, nullptr) || done == 0) {
                break;
            }
            at += done;
        }
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

bool isTerminal(std::FILE* stream) {
    const HANDLE console = consoleOf(stream);
    return console != nullptr && takesEscapes(console);
}

std::size_t columns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const HANDLE console = consoleOf(stream);
    if (console != nullptr && ::GetConsoleScreenBufferInfo(console, &info)) {
        const int width = info.srWindow.Right - info.srWindow.Left + 1;
        if (width > 0) return static_cast<std::size_t>(width);
    }
    return 80;
}

bool handleConsoleEvent(unsigned long event) {
    int number = 0;
    switch (event) {
        case CTRL_C_EVENT: number = SIGINT; break;
        case CTRL_BREAK_EVENT: number = SIGBREAK; break;
        default: return false;   // closing the console, logging off: the system's way
    }
    // A second one, while the first stop is still on its way, is left to the
    // system's handler, which ends the program at once.
    if (stopRequested() != 0) return false;
    ::InterlockedExchange(&lastInterrupt, number);
    requestStop(number);
    return true;
}

void stopOnInterrupt() { ::SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

int interruptNumber() { return static_cast<int>(lastInterrupt); }

std::string interruptName(int number) {
    switch (number) {
        case SIGINT: return "Ctrl-C";
        case SIGBREAK: return "Ctrl-Break";
        default: return "signal " + std::to_string(number);
    }
}

}  // namespace stepcount::console
