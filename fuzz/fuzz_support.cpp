#include "fuzz_support.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>


namespace stepcount::fuzz {

namespace {

std::string makeScratchFolder() {
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/stepcount-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) fail("cannot create a scratch folder");
    // Left behind by a crash at worst; removed at a normal exit.
    static std::string forRemoval;
    forRemoval = pattern;
    std::atexit([] {
        std::string command = "rm -rf '" + forRemoval + "'";
        if (std::system(command.c_str()) != 0) { /* nothing more to do */ }
    });
    return pattern;
}

}  // namespace

std::string scratchPath(std::string_view name) {
    static const std::string folder = makeScratchFolder();
    return folder + '/' + std::string(name);
}

void writeFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) fail("cannot create", path);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written <= 0) fail("cannot write", path);
        done += static_cast<std::size_t>(written);
    }
    ::close(fd);
}

}  // namespace stepcount::fuzz
