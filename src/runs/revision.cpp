#include "runs/revision.h"

#include "walk/git_version.h"

namespace stepcount {

git::RevisionTree resolveRevision(const std::string& repository, const std::string& revision) {
    git::Repository& opened = git::repositoryForThisThread(repository);
    // The whole text as a revision first: a revision may hold a ":" of its
    // own ("HEAD^{/fix: x}").
    try {
        return opened.resolve(revision, {});
    } catch (const git::GitError& whole) {
        const std::size_t colon = revision.rfind(':');
        if (colon == std::string::npos || colon == 0) throw;
        const std::string name = revision.substr(0, colon);
        std::string subfolder = revision.substr(colon + 1);
        while (!subfolder.empty() && subfolder.back() == '/') subfolder.pop_back();
        if (subfolder.empty()) return opened.resolve(name, {});
        return opened.resolve(name, subfolder);
    }
}

VersionSource revisionVersion(const std::string& repository, const std::string& revision) {
    if (isWorkTree(revision)) {
        const std::string workTree = git::repositoryForThisThread(repository).workTree();
        if (workTree.empty()) {
            throw git::GitError("the repository at '" + repository + "' has no work tree to compare with");
        }
        return folderVersion(workTree);
    }
    return gitVersion(repository, resolveRevision(repository, revision), revision);
}

}  // namespace stepcount
