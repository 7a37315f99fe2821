// What changed between two versions of a file, in steps: matched unchanged,
// and in each stretch between matches, as many changed as both versions
// have, the rest added (NEW) or deleted (OLD).
#pragma once

#include <cstdint>

namespace stepcount::diff {

struct ChangeFigures {
    std::uint64_t added = 0;
    std::uint64_t changed = 0;
    std::uint64_t deleted = 0;
    std::uint64_t unchanged = 0;

    friend bool operator==(const ChangeFigures&, const ChangeFigures&) = default;
};

}  // namespace stepcount::diff
