// What the folder walk tells about each folder and file it meets. The
// result file writer, the progress display and the run summary are
// observers; a new output is a new observer, not a second walk.
#pragma once

#include <cstdint>
#include <ctime>
#include <string_view>
#include <vector>

#include "counters/count_result.h"

namespace stepcount {

// Size and last write of a file, of a link's target for a link.
struct FileFacts {
    std::uint64_t size = 0;
    std::time_t modified = 0;
};

class WalkObserver {
public:
    virtual ~WalkObserver() = default;
    // A folder `name` inside the folder `folder` (the path as the walk built
    // it); its content follows.
    virtual void onFolder(std::string_view folder, std::string_view name) = 0;
    // A file, and its counts when it was counted.
    virtual void onFile(std::string_view folder, std::string_view name, const FileFacts& facts,
                        const FileCount& count) = 0;
};

// Passes everything on to several observers, in order.
class ObserverFanOut : public WalkObserver {
public:
    void add(WalkObserver& observer) { observers_.push_back(&observer); }
    void onFolder(std::string_view folder, std::string_view name) override;
    void onFile(std::string_view folder, std::string_view name, const FileFacts& facts,
                const FileCount& count) override;

private:
    std::vector<WalkObserver*> observers_;
};

}  // namespace stepcount
