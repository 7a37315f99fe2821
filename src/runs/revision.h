// Revisions of a git repository as the runs count and compare them: "REV"
// or "REV:SUBFOLDER", anything git understands as REV (a tag, a branch, a
// commit id, "HEAD~3"); for a comparison, "." is the repository's work tree.
#pragma once

#include <string>

#include "git/repository.h"
#include "walk/paired_walk.h"

namespace stepcount {

// The tree that `revision` names in the repository at `repository`.
// git::GitError naming what was not found when there is none.
git::RevisionTree resolveRevision(const std::string& repository, const std::string& revision);

// The version that `revision` names, for a comparison: the work tree for
// "." (its .git left out), otherwise the revision's tree.
VersionSource revisionVersion(const std::string& repository, const std::string& revision);

// Whether `revision` names the work tree.
inline bool isWorkTree(const std::string& revision) { return revision == "."; }

}  // namespace stepcount
