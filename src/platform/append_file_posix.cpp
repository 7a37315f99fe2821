#include "platform/append_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_posix.h"

namespace stepcount {

bool AppendFile::open(const std::string& path) {
    // O_NONBLOCK: a FIFO without a reader is refused instead of waited for.
    UniqueFd fd(posix::openPath(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid()) return false;
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    struct stat info {};
    sizeWhenOpened_ = ::fstat(fd.get(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    fd_ = std::move(fd);
    return true;
}

bool AppendFile::write(std::string_view bytes, std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const ssize_t done = ::write(fd_.get(), bytes.data() + written, bytes.size() - written);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        written += static_cast<std::size_t>(done);
    }
    return true;
}

bool AppendFile::truncate(std::uint64_t size) {
    return ::ftruncate(fd_.get(), static_cast<off_t>(size)) == 0;
}

bool AppendFile::close() {
    if (!fd_.valid()) return true;
    const int fd = fd_.release();
    return ::close(fd) == 0 || errno == EINTR;
}

}  // namespace stepcount
