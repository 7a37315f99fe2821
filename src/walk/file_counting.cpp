#include "walk/file_counting.h"

#include <stdexcept>

namespace stepcount {

ComparedFile CounterSet::compare(const FileSide&, const FileSide&) {
    throw std::logic_error("these counters do not compare versions");
}

}  // namespace stepcount
