#include <string.h>

#include "platform/exception.h"

namespace stepcount {

namespace {

// strerror_r comes in two forms: the POSIX one returns a status and fills the
// buffer, the GNU one returns the text (which may or may not be the buffer).
[[maybe_unused]] const char* errorTextOf(int status, const char* buffer) {
    return status == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* errorTextOf(const char* text, const char*) { return text; }

}  // namespace

std::string systemErrorText(int errnoValue) {
    char buffer[256] = {};
    const char* text = errorTextOf(::strerror_r(errnoValue, buffer, sizeof buffer), buffer);
    if (text != nullptr && *text != '\0') return text;
    return "error " + std::to_string(errnoValue);
}

}  // namespace stepcount
