// Tallies of a run: how many files were counted and not, how many folders,
// how many steps, for the closing line of a run and the window's progress.
#pragma once

#include <cstdint>

#include "walk/walk_observer.h"

namespace stepcount {

class RunTally : public WalkObserver {
public:
    void onFolder(std::string_view folder, std::string_view name) override;
    void onFile(const WalkedFile& file) override;
    void onFolderPair(std::string_view folder, std::string_view name, Sides sides) override;
    void onFilePair(const PairedFile& file) override;

    std::uint64_t filesCounted = 0;      // with counts (compared, for a comparison)
    std::uint64_t filesNotCounted = 0;
    std::uint64_t folders = 0;
    std::uint64_t totalSteps = 0;   // the total steps of every counted file
};

}  // namespace stepcount
