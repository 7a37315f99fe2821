#include "runs/revision.h"

#include "walk/git_version.h"

namespace stepcount {

namespace {

// Where git ends the revision of "REV:PATH": at the first ":" outside braces
// ("HEAD^{/fix: x}:src"); npos when there is none.
std::size_t revisionEnd(const std::string& text) {
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '{') ++depth;
        if (text[i] == '}' && depth > 0) --depth;
        if (text[i] == ':' && depth == 0) return i;
    }
    return std::string::npos;
}

}  // namespace

git::RevisionTree resolveRevision(const std::string& repository, const std::string& revision) {
    git::Repository& opened = git::repositoryForThisThread(repository);
    // The whole text as a revision first: a revision may hold a ":" of its
    // own ("HEAD^{/fix: x}").
    try {
        git::RevisionTree tree = opened.resolve(revision, {});
        const std::size_t end = revisionEnd(revision);
        if (!tree.committed && end != std::string::npos && end > 0) {
            // A folder named by its path ("v1:src") has no commit of its own:
            // its files are dated as the revision's.
            const git::RevisionTree committed = opened.resolve(revision.substr(0, end), {});
            tree.commitTime = committed.commitTime;
            tree.committed = committed.committed;
        }
        return tree;
    } catch (const git::GitError& whole) {
        // The revision and the path as git splits them, for a message that
        // names what is not there ("no folder 'x' in revision 'v1'").
        const std::size_t colon = revisionEnd(revision);
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
        // The repository's own files are no part of the work tree.
        return folderVersion(workTree, ".git");
    }
    return gitVersion(repository, resolveRevision(repository, revision), revision);
}

}  // namespace stepcount
