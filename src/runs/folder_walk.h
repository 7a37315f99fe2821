// The walk over a folder tree, depth first: every entry below the count
// folder, in name order, each folder's entry followed at once by the entries
// of its content. The walk hands what it meets to a WalkObserver (the result
// file writer, the progress display, the run summary), and asks a
// FileCounting which counter a file goes to.
#pragma once

#include <memory>
#include <string>

#include "runs/walk_observer.h"

namespace stepcount {

// The counters of one folder visit.
class VisitCounters {
public:
    virtual ~VisitCounters() = default;
    // Counts the file at `path` (a regular file or an entry that cannot be
    // inspected) with the counter of its language.
    virtual FileCount count(const std::string& path) = 0;
};

// Creates the counters for each folder visit.
class FileCounting {
public:
    virtual ~FileCounting() = default;
    virtual std::unique_ptr<VisitCounters> startVisit() = 0;
};

// Walks everything below `countFolder` (which itself gets no row). A child
// path is the parent path, "/" and the name, joined as they are. A folder
// that cannot be opened has no content; a count folder that cannot be opened
// gives nothing. A link to a folder is walked unless it leads back to a
// folder on the current walk path; FIFOs, sockets and devices are listed as
// uncounted files and never opened. Neither the depth of the tree nor the
// length of its paths is limited.
void walkFolderTree(const std::string& countFolder, FileCounting& counting, WalkObserver& observer);

}  // namespace stepcount
