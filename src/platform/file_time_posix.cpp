#include "platform/file_time.h"

#include <cstdio>

namespace stepcount {

std::string formatFileDate(std::time_t time) {
    // localtime_r need not read the TZ setting itself.
    static const bool zoneRead = (::tzset(), true);
    (void)zoneRead;
    std::tm local{};
    if (::localtime_r(&time, &local) == nullptr) return "0000/00/00 00:00:00";
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                  local.tm_sec & ~1);
    return text;
}

}  // namespace stepcount
