#include "git/blob_contents.h"

#include "platform/exception.h"

namespace stepcount::git {

std::shared_ptr<const void> BlobContents::load(const std::string& path, std::string_view& bytes,
                                               FileFacts& facts) const {
    std::shared_ptr<const void> keeper;
    try {
        keeper = repositoryForThisThread(repository_).read(id_, bytes);
    } catch (const GitError& error) {
        throw Exception("Cannot read file \"" + path + "\": " + error.what());
    }
    facts.size = bytes.size();
    facts.modified = commitTime_.value_or(0);
    facts.dated = commitTime_.has_value();
    return keeper;
}

}  // namespace stepcount::git
