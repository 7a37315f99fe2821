// A file of a repository's revision as the counters read it: its bytes are
// loaded from the object store on the thread that counts it.
#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "git/repository.h"
#include "platform/file_system.h"

namespace stepcount::git {

class BlobContents : public FileContents {
public:
    // The blob `id` of the repository opened at `repository` (shared by the
    // files of a tree); its last write is the revision's commit time, and
    // none for a tree without a commit.
    BlobContents(std::shared_ptr<const std::string> repository, ObjectId id,
                 std::optional<std::time_t> commitTime)
        : repository_(std::move(repository)), id_(std::move(id)), commitTime_(commitTime) {}

    LoadedContents load(const std::string& path, FileFacts& facts) const override;

private:
    std::shared_ptr<const std::string> repository_;
    ObjectId id_;
    std::optional<std::time_t> commitTime_;
};

}  // namespace stepcount::git
