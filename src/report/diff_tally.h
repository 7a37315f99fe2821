// Tallies of a comparison for its closing line: files new, deleted, changed
// and unchanged, and the steps added, changed, deleted and unchanged.
#pragma once

#include <cstdint>
#include <string>

#include "walk/walk_observer.h"

namespace stepcount {

class DiffTally : public WalkObserver {
public:
    void onFilePair(const PairedFile& file) override;

    // "Files added: 1, deleted: 1, changed: 1, unchanged: 0. Steps added: 6,
    // changed: 2, deleted: 5, unchanged: 11."
    std::string text() const;

    std::uint64_t filesAdded = 0;
    std::uint64_t filesDeleted = 0;
    std::uint64_t filesChanged = 0;
    std::uint64_t filesUnchanged = 0;
    StepChanges steps;
};

}  // namespace stepcount
