// The date column of the result file.
#pragma once

#include <ctime>
#include <string>

namespace stepcount {

// `time` in local time as "yyyy/mm/dd hh:nn:ss", the seconds rounded down to
// an even number.
std::string formatFileDate(std::time_t time);

}  // namespace stepcount
