#include "counters/counting_frame.h"

#include <cstdio>

#include "platform/texts.h"

namespace stepcount {

std::string counterFailureText(std::string_view message, const FailureSite& site) {
    char where[256];
    std::snprintf(where, sizeof where, texts::kCounterFailureFormat, site.label, site.line);
    std::string text(message);
    text += ' ';
    text += where;
    return text;
}

void showCounterFailure(MessageDisplay& display, const FailureSite& site,
                        std::string_view message) noexcept {
    try {
        display.showMessage(counterFailureText(message, site));
    } catch (...) {
        // Nothing is left to tell the user with; the status says it failed.
    }
}

bool pathExtension(std::string_view path, std::string& lowerCaseExtension) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return false;
    lowerCaseExtension = ascii::lowerCase(path.substr(dot + 1));
    return true;
}

}  // namespace stepcount
