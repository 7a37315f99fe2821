#include "git/blob_contents.h"

#include "platform/exception.h"

namespace stepcount::git {

namespace {

Exception readFailure(const std::string& path, const GitError& error) {
    return Exception("Cannot read file \"" + path + "\": " + error.what());
}

// A blob read a piece at a time, its failures named by the file's path.
class BlobStream : public ContentStream {
public:
    BlobStream(std::unique_ptr<ContentStream> stream, std::string path)
        : stream_(std::move(stream)), path_(std::move(path)) {}

    std::size_t read(char* buffer, std::size_t size) override {
        try {
            return stream_->read(buffer, size);
        } catch (const GitError& error) {
            throw readFailure(path_, error);
        }
    }

private:
    std::unique_ptr<ContentStream> stream_;
    std::string path_;
};

}  // namespace

LoadedContents BlobContents::load(const std::string& path, FileFacts& facts) const {
    LoadedContents loaded;
    std::uint64_t size = 0;
    try {
        loaded = repositoryForThisThread(*repository_).read(id_, size);
    } catch (const GitError& error) {
        throw readFailure(path, error);
    }
    if (loaded.stream != nullptr) {
        loaded.stream = std::make_unique<BlobStream>(std::move(loaded.stream), path);
    }
    facts.size = size;
    facts.modified = commitTime_.value_or(0);
    facts.dated = commitTime_.has_value();
    return loaded;
}

}  // namespace stepcount::git
