// The benchmark's floor: opens and reads every regular file below a folder,
// and does nothing else with the bytes. No line counter can be faster than
// this on the same tree.
//
//   read_floor [-j THREADS] FOLDER      THREADS: default the number of cores
//
// The threads share a stack of folders still to list; each takes a folder,
// lists it, pushes its subfolders and reads its files (openat, read into a
// 128 KiB buffer, close). Prints the files and bytes read.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::mutex mutex;
std::condition_variable wake;
std::vector<std::string> folders;
int busy = 0;
std::atomic<unsigned long long> filesRead{0}, bytesRead{0};

void readFile(int dirFd, const char* name, char* buffer, std::size_t size) {
    const int fd = ::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return;
    unsigned long long total = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, size);
        if (got <= 0) break;
        total += static_cast<unsigned long long>(got);
    }
    ::close(fd);
    filesRead += 1;
    bytesRead += total;
}

void work() {
    constexpr std::size_t kBuffer = 128 * 1024;
    std::vector<char> buffer(kBuffer);
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [] { return !folders.empty() || busy == 0; });
        if (folders.empty()) return;  // nothing left and nobody listing
        std::string folder = std::move(folders.back());
        folders.pop_back();
        ++busy;
        lock.unlock();
        std::vector<std::string> found;
        if (DIR* dir = ::opendir(folder.c_str())) {
            const int dirFd = ::dirfd(dir);
            while (const dirent* entry = ::readdir(dir)) {
                if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
                if (entry->d_type == DT_DIR) {
                    found.push_back(folder + '/' + entry->d_name);
                } else if (entry->d_type == DT_REG) {
                    readFile(dirFd, entry->d_name, buffer.data(), kBuffer);
                }
            }
            ::closedir(dir);
        }
        lock.lock();
        --busy;
        for (std::string& path : found) folders.push_back(std::move(path));
        wake.notify_all();
    }
}

}  // namespace

int main(int argc, char** argv) {
    unsigned threads = std::thread::hardware_concurrency();
    int arg = 1;
    if (argc > 2 && std::strcmp(argv[1], "-j") == 0) {
        threads = static_cast<unsigned>(std::atoi(argv[2]));
        arg = 3;
    }
    if (arg != argc - 1 || threads == 0) {
        std::fprintf(stderr, "usage: read_floor [-j THREADS] FOLDER\n");
        return 2;
    }
    folders.emplace_back(argv[arg]);
    std::vector<std::thread> pool;
    for (unsigned i = 0; i < threads; ++i) pool.emplace_back(work);
    for (std::thread& thread : pool) thread.join();
    std::printf("%llu files, %llu bytes read\n", filesRead.load(), bytesRead.load());
    return 0;
}
