#include "platform/file_time.h"

#include <cstdio>

#include "platform/system_windows.h"

namespace stepcount {

// The local time of the moment itself, by the rules of the time zone in its
// year (as localtime_r gives it on POSIX), not shifted by the daylight
// saving bias of today as FileTimeToLocalFileTime would.
std::string formatFileDate(std::time_t time) {
    constexpr std::int64_t kTicksPerSecond = 10'000'000;
    constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
    const std::int64_t seconds = static_cast<std::int64_t>(time) + kSecondsFrom1601To1970;
    SYSTEMTIME universal{};
    SYSTEMTIME local{};
    bool converted = false;
    if (seconds >= 0) {
        const auto ticks = static_cast<std::uint64_t>(seconds) * kTicksPerSecond;
        const FILETIME fileTime{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        TIME_ZONE_INFORMATION zone{};
        converted = ::FileTimeToSystemTime(&fileTime, &universal) &&
                    ((::GetTimeZoneInformationForYear(universal.wYear, nullptr, &zone) &&
                      ::SystemTimeToTzSpecificLocalTime(&zone, &universal, &local)) ||
                     ::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local));
    }
    if (!converted) return "0000/00/00 00:00:00";
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", local.wYear, local.wMonth,
                  local.wDay, local.wHour, local.wMinute, local.wSecond & ~1);
    return text;
}

}  // namespace stepcount
