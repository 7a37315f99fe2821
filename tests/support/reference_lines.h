// A plain, slow split of a file's bytes into the line windows that the
// counters must see, for checking the line reader and the counters against.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace stepcount::testing {

// The lines of `bytes`: split at CR LF, a lone CR or a lone LF, no empty last
// line after a final break, each cut to its first 256 bytes.
inline std::vector<std::string> referenceWindows(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') continue;
        lines.emplace_back(bytes.substr(start, std::min<std::size_t>(i - start, 256)));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < bytes.size()) lines.emplace_back(bytes.substr(start, 256));
    return lines;
}

}  // namespace stepcount::testing
