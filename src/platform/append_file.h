// A file that rows are appended to: opened for appending (created when
// missing), written in whole pieces, and cut back to a given size when a
// write fails part way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace stepcount {

class AppendFile {
public:
    AppendFile() = default;

    // Opens `path` for appending, creating it when missing; a FIFO without a
    // reader is refused rather than waited for. False, with errno set, when
    // it cannot be opened.
    bool open(const std::string& path);

    bool isOpen() const { return fd_.valid(); }
    // The size the file had when it was opened.
    std::uint64_t sizeWhenOpened() const { return sizeWhenOpened_; }

    // Writes all of `bytes`. False, with errno set and `written` the bytes
    // that did get written, when the system refuses the rest.
    bool write(std::string_view bytes, std::size_t& written);

    // Cuts the file back to `size` bytes; false when it cannot be cut (a
    // device, a pipe).
    bool truncate(std::uint64_t size);

    // Closes the file; false, with errno set, when closing reports a failure.
    bool close();

private:
    UniqueFd fd_;
    std::uint64_t sizeWhenOpened_ = 0;
};

}  // namespace stepcount
