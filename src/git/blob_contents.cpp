#include "git/blob_contents.h"

#include "platform/exception.h"

namespace stepcount::git {

void BlobContents::load(const std::string& path, std::string& bytes, FileFacts& facts) const {
    try {
        repositoryForThisThread(repository_).read(id_, bytes);
    } catch (const GitError& error) {
        throw Exception("Cannot read file \"" + path + "\": " + error.what());
    }
    facts.size = bytes.size();
    facts.modified = commitTime_;
}

}  // namespace stepcount::git
