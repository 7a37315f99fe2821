// A build without a git library: repositories cannot be read.
#include "git/repository.h"

namespace stepcount::git {

bool available() { return false; }

std::unique_ptr<Repository> Repository::open(const std::string&) {
    throw GitError("this build of stepcount cannot read git repositories (it was built without "
                   "libgit2)");
}

Repository& repositoryForThisThread(const std::string& path) { return *Repository::open(path); }

}  // namespace stepcount::git
