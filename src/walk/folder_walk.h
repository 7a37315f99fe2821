// The walk over a folder tree, depth first: every entry below the count
// folder, in name order, each folder's entry followed at once by the entries
// of its content. The walk hands what it meets to a WalkObserver (the result
// file writer, the progress display, the run summary), and asks a
// FileCounting which counter a file goes to.
//
// Files may be counted on several threads at once; the observer still sees
// every entry in the walk's order, from the walking thread alone (see
// WalkObserver). At most a bounded window of files is in flight, so memory
// does not grow with the tree.
#pragma once

#include <cstddef>
#include <string>

#include "platform/message_display.h"
#include "walk/file_counting.h"
#include "walk/walk_observer.h"

namespace stepcount {

struct WalkOptions {
    // Threads that count files; 1 counts on the walking thread itself.
    unsigned jobs = 1;
    // The listings of the folders above the current one are kept to go on
    // with them; past this many bytes the largest are given up and listed
    // again when the walk comes back, so that a deep tree of large folders
    // does not hold them all.
    std::size_t listingBudget = std::size_t{8} << 20;
};

// Walks everything below `countFolder` (which itself gets no row). A child
// path is the parent path, the separator and the name, joined as they are.
// A folder that cannot be opened or read has no content (or only what could
// be read), and is told to the observer's onFolderFailure; a count folder
// that cannot be opened gives nothing. A link to a folder is walked unless it
// leads back to a folder on the current walk path; FIFOs, sockets and
// devices are listed as uncounted files and never opened. Neither the depth
// of the tree nor the length of its paths is limited, and memory grows with
// the depth alone. An exception from the observer ends the walk (the
// counting threads are stopped) and is passed on.
//
// The counters' messages go to `display`: with several jobs, from the
// counting threads, but one at a time, never during an observer call, and in
// the walk's order, each where the walking thread alone would have shown it
// (after the rows of the entries before its file). A message holds the walk
// until it returns.
void walkFolderTree(const std::string& countFolder, FileCounting& counting, WalkObserver& observer,
                    MessageDisplay& display, const WalkOptions& options = {});

}  // namespace stepcount
