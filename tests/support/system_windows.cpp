// The Windows forms of the tests' helpers that call the system.
#include "support/result_rows.h"
#include "support/test_support.h"

#include "platform/exception.h"
#include "platform/system_windows.h"

#include <psapi.h>
#include <winioctl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <stdexcept>

namespace stepcount::testing {

namespace {

// The system's words for the last error.
std::string lastErrorText() { return systemErrorText(windows::errorNumber(::GetLastError())); }

// `seconds` since 1970 as a file time (100 ns units since 1601).
FILETIME fileTimeOf(std::time_t seconds) {
    constexpr std::uint64_t kSecondsFrom1601To1970 = 11'644'473'600;
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(seconds) + kSecondsFrom1601To1970) * 10'000'000;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The program: the stepcount.exe beside the test program (the build puts
// them in one folder).
std::wstring programPath() {
    std::wstring self(32768, L'\0');
    self.resize(::GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return (std::filesystem::path(self).parent_path() / fsPath(STEPCOUNT_BINARY).filename())
        .wstring();
}

// An argument written so that CommandLineToArgvW, which the program reads
// its arguments with, gives it back as it is: in quotes when it is empty or
// holds blanks or quotes, a quote and the backslashes before it, or before
// the closing quote, escaped.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring text = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        text.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, L'\\');
    return text + L'"';
}

// Creates or opens a file for one access, with every sharing allowed.
HANDLE openShared(const std::wstring& path, DWORD access, DWORD disposition,
                  SECURITY_ATTRIBUTES* security = nullptr) {
    return ::CreateFileW(path.c_str(), access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, security,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::filesystem::path memoryTempFolder() { return std::filesystem::temp_directory_path(); }

bool underWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void useUtc() {
    TIME_ZONE_INFORMATION zone{};
    const DWORD kind = ::GetTimeZoneInformation(&zone);
    const bool daylight = kind != TIME_ZONE_ID_UNKNOWN && zone.DaylightBias != 0;
    if (zone.Bias != 0 || zone.StandardBias != 0 || daylight) {
        ADD_FAILURE() << "the expected dates are UTC, but the system's time zone is "
                      << windows::utf8(zone.StandardName)
                      << " (under Wine: start it with TZ=UTC)";
    }
}

bool makeSparseFile(const std::string& path, std::uint64_t size,
                    std::initializer_list<FilePiece> pieces) {
    const std::wstring name = fsPath(path).wstring();
    const HANDLE file = openShared(name, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    bool made = ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned,
                                  nullptr) != FALSE;
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    made = made && ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    for (const FilePiece& piece : pieces) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(piece.offset);
        at.OffsetHigh = static_cast<DWORD>(piece.offset >> 32);
        DWORD written = 0;
        made = made &&
               ::WriteFile(file, piece.bytes.data(), static_cast<DWORD>(piece.bytes.size()),
                           &written, &at) &&
               written == piece.bytes.size();
    }
    // The room it takes (Wine's GetCompressedFileSizeW tells the size).
    FILE_STANDARD_INFO standard{};
    made = made &&
           ::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) &&
           standard.AllocationSize.QuadPart <= LONGLONG{1} << 20;
    ::CloseHandle(file);
    return made;
}

UnreadableFiles::~UnreadableFiles() {
    for (void* handle : handles_) ::CloseHandle(handle);
}

// Open for reading and writing and shared with no one: every other open of
// the file for its content fails with a sharing violation.
void UnreadableFiles::add(const std::string& path) {
    const HANDLE file = ::CreateFileW(fsPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot lock " + path + ": " + lastErrorText());
    }
    handles_.push_back(file);
}

int unreadableError() { return windows::errorNumber(ERROR_SHARING_VIOLATION); }

long peakMemoryKiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
}

StartedProgram::StartedProgram(const ProgramRun& run) {
    // The program's dates are in the system's time zone.
    useUtc();
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const HANDLE in = openShared(L"NUL", GENERIC_READ, OPEN_EXISTING, &inherited);
    const HANDLE out =
        openShared(fsPath(io_.at("out")).wstring(), GENERIC_WRITE, CREATE_ALWAYS, &inherited);
    const HANDLE err =
        openShared(fsPath(io_.at("err")).wstring(), GENERIC_WRITE, CREATE_ALWAYS, &inherited);
    const std::wstring program = programPath();
    std::wstring commandLine = quoted(program);
    for (const std::string& argument : run.arguments) {
        commandLine += L' ';
        commandLine += quoted(windows::wide(argument));
    }
    const std::wstring folder = fsPath(run.cwd).wstring();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION started{};
    const bool made = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE &&
                      err != INVALID_HANDLE_VALUE &&
                      ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                       CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup,
                                       &started);
    const std::string problem = made ? std::string() : lastErrorText();
    for (const HANDLE handle : {in, out, err}) {
        if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    }
    if (!made) throw std::runtime_error("cannot start " + windows::utf8(program) + ": " + problem);
    ::CloseHandle(started.hThread);
    process_ = started.hProcess;
}

StartedProgram::~StartedProgram() {
    if (process_ == nullptr) return;
    ::TerminateProcess(process_, 1);
    wait();
}

Ran StartedProgram::wait(int timeoutSeconds) {
    Ran ran;
    if (process_ == nullptr) return ran;
    // Wine keeps no counters of a process that has ended: the peak is read
    // while it runs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        PROCESS_MEMORY_COUNTERS counters{};
        if (::GetProcessMemoryInfo(process_, &counters, sizeof counters)) {
            ran.maxRssKiB =
                std::max(ran.maxRssKiB, static_cast<long>(counters.PeakWorkingSetSize / 1024));
        }
        if (::WaitForSingleObject(process_, 2) != WAIT_TIMEOUT) break;
        if (timeoutSeconds > 0 && !ran.timedOut && std::chrono::steady_clock::now() > deadline) {
            ran.timedOut = true;
            ::TerminateProcess(process_, 1);
        }
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    ::CloseHandle(process_);
    process_ = nullptr;
    ran.status = static_cast<int>(code);
    // The C library writes a line break to a file as CR LF, as console
    // programs do on Windows: turned back into LF, the expected texts serve
    // both systems.
    for (auto [from, to] :
         {std::pair{io_.at("out"), &ran.out}, std::pair{io_.at("err"), &ran.err}}) {
        const std::string text = readFile(from);
        for (std::size_t at = 0; at < text.size(); ++at) {
            if (text[at] != '\r' || at + 1 == text.size() || text[at + 1] != '\n') *to += text[at];
        }
    }
    return ran;
}

// A mount point: a folder whose reparse point names the target in the NT
// form "\??\C:\...", with an empty name to print.
std::string makeJunction(const std::string& link, const std::string& target) {
    const std::wstring targetPath = windows::systemPath(target);   // "\\?\C:\..."
    const std::wstring linkPath = windows::systemPath(link);
    if (targetPath.size() < 4 || linkPath.empty()) return "no system path for " + link;
    const std::wstring substitute = L"\\??\\" + targetPath.substr(4);
    if (!::CreateDirectoryW(linkPath.c_str(), nullptr)) return lastErrorText();
    struct MountPoint {
        DWORD tag;
        WORD dataLength, reserved, substituteOffset, substituteLength, printOffset, printLength;
        wchar_t names[2048];
    } point{};
    if (substitute.size() + 2 > std::size(point.names)) return "the target's path is too long";
    constexpr WORD kNamesHeader = 4 * sizeof(WORD);
    const auto substituteBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    point.tag = IO_REPARSE_TAG_MOUNT_POINT;
    point.substituteLength = substituteBytes;
    point.printOffset = static_cast<WORD>(substituteBytes + sizeof(wchar_t));
    std::copy(substitute.begin(), substitute.end(), point.names);
    point.dataLength =
        static_cast<WORD>(kNamesHeader + substituteBytes + 2 * sizeof(wchar_t));
    const HANDLE folder =
        ::CreateFileW(linkPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD returned = 0;
    const bool made = folder != INVALID_HANDLE_VALUE &&
                      ::DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, &point,
                                        offsetof(MountPoint, substituteOffset) + point.dataLength,
                                        nullptr, 0, &returned, nullptr);
    const std::string problem = made ? std::string() : lastErrorText();
    if (folder != INVALID_HANDLE_VALUE) ::CloseHandle(folder);
    if (!made) ::RemoveDirectoryW(linkPath.c_str());
    return problem;
}

}  // namespace stepcount::testing

namespace stepcount::testing::rows {

FolderChain::FolderChain(const std::string& top, std::string name, int levels)
    : top_(top), name_(std::move(name)), levels_(levels) {
    std::wstring folder = windows::systemPath(top);
    const std::wstring step = L"\\" + windows::wide(name_);
    const auto makeFile = [&](const wchar_t* fileName, std::string_view bytes) {
        const HANDLE file = openShared(folder + L"\\" + fileName, GENERIC_WRITE, CREATE_NEW);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        const FILETIME modified = fileTimeOf(kWritten);
        const bool done = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                                      &written, nullptr) &&
                          written == bytes.size() &&
                          ::SetFileTime(file, nullptr, nullptr, &modified);
        ::CloseHandle(file);
        return done;
    };
    bool made = !folder.empty();
    for (int level = 0; made && level <= levels; ++level) {
        made = makeFile(L"e.txt", "");
        if (level == levels) break;
        folder += step;
        made = made && ::CreateDirectoryW(folder.c_str(), nullptr);
    }
    made = made && makeFile(L"f.c", kOneLine);
    if (!made) {
        const std::string problem = lastErrorText();
        remove();
        throw std::runtime_error("cannot make a chain of folders below " + top + ": " + problem);
    }
}

// Goes down as far as the chain goes, then removes it bottom up.
void FolderChain::remove() const {
    std::wstring folder = windows::systemPath(top_);
    if (folder.empty()) return;
    const std::wstring step = L"\\" + windows::wide(name_);
    int depth = 0;
    while (depth < levels_) {
        const DWORD attributes = ::GetFileAttributesW((folder + step).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            break;
        }
        folder += step;
        ++depth;
    }
    ::DeleteFileW((folder + L"\\f.c").c_str());
    for (; ::DeleteFileW((folder + L"\\e.txt").c_str()), depth > 0; --depth) {
        ::RemoveDirectoryW(folder.c_str());
        folder.resize(folder.size() - step.size());
    }
}

}  // namespace stepcount::testing::rows
