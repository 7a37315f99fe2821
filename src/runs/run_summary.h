// Tallies of a run for its closing summary.
#pragma once

#include <cstdint>

#include "runs/walk_observer.h"

namespace stepcount {

class RunSummary : public WalkObserver {
public:
    void onFolder(std::string_view folder, std::string_view name) override;
    void onFile(std::string_view folder, std::string_view name, const FileFacts& facts,
                const FileCount& count) override;

    std::uint64_t filesCounted = 0;
    std::uint64_t filesNotCounted = 0;
    std::uint64_t folders = 0;
    std::uint64_t totalSteps = 0;   // the total steps of every counted file
};

}  // namespace stepcount
