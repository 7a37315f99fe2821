// What the folder walk tells about each folder and file it meets. The
// result file writer, the progress display and the run summary are
// observers; a new output is a new observer, not a second walk.
#pragma once

#include <string_view>
#include <vector>

#include "counters/count_result.h"
#include "platform/file_system.h"

namespace stepcount {

// The walk calls its observer from one thread, the one that runs the walk,
// one call at a time and in the walk's order, whatever the number of files
// counted at once.
class WalkObserver {
public:
    virtual ~WalkObserver() = default;
    // A folder `name` inside the folder `folder` (the path as the walk built
    // it); its content follows.
    virtual void onFolder(std::string_view folder, std::string_view name) = 0;
    // A file, and its counts when it was counted. `facts` (size and last
    // write, of a link's target for a link) are known for a counted file
    // only; a file that was not counted has them zero, for it is not opened.
    virtual void onFile(std::string_view folder, std::string_view name, const FileFacts& facts,
                        const FileCount& count) = 0;
    // A folder below the count folder whose content could not be listed, or
    // not wholly (it cannot be opened or read, or it went away while it was
    // walked): its path as the walk built it, and the system's error number.
    virtual void onFolderFailure(std::string_view /*path*/, int /*errorNumber*/) {}
};

// Passes everything on to several observers, in order.
class ObserverFanOut : public WalkObserver {
public:
    void add(WalkObserver& observer) { observers_.push_back(&observer); }
    void onFolder(std::string_view folder, std::string_view name) override;
    void onFile(std::string_view folder, std::string_view name, const FileFacts& facts,
                const FileCount& count) override;
    void onFolderFailure(std::string_view path, int errorNumber) override;

private:
    std::vector<WalkObserver*> observers_;
};

}  // namespace stepcount
