// The walk over two versions of a tree (OLD and NEW) together, for counting
// what changed between them. Entries pair when they have the same relative
// folder and the same name; of those left unpaired in a folder, an entry
// pairs with the one entry of the other version whose name is the same but
// for the case of ASCII letters, when that match is one to one (trees copied
// from Windows). Paired folders are walked together; a folder in one version
// only is walked alone, its files being new or deleted. A file in one
// version and a folder of the same name in the other are two entries: the
// file, then the folder with its content.
//
// The observer sees a folder or file row (onFolderPair, onFilePair) for
// every entry, in name order (the name in NEW for a pair), each folder's row
// followed at once by its content; files are compared on the counting
// threads (CounterSet::compare). Links, FIFOs, loops, unreadable folders and
// deep trees are met as the count's walk meets them; a folder that cannot be
// read in either version is told to onFolderFailure and its content is left
// out; a folder that leads back up the walk in one version has no content
// there, and its content in the other version is walked alone.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/message_display.h"
#include "walk/file_counting.h"
#include "walk/folder_walk.h"
#include "walk/walk_observer.h"

namespace stepcount {

class RowPipeline;
class VersionSide;

// Makes one version's side of the walk, for the walk's rows.
using VersionSource = std::function<std::unique_ptr<VersionSide>(RowPipeline& rows)>;

// A folder tree on disk as a version, without the entry `leftOut` of the
// folder itself when one is named.
VersionSource folderVersion(std::string folder, std::string leftOut = {});

void walkVersions(const VersionSource& oldSource, const VersionSource& newSource,
                  FileCounting& counting, WalkObserver& observer, MessageDisplay& display,
                  const WalkOptions& options = {});

}  // namespace stepcount
