#include "fuzz_support.h"

#include <filesystem>
#include <fstream>
#include <random>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace stepcount::fuzz {

namespace {

// A fresh folder of a random name, in memory (/dev/shm) where there is one;
// left behind by a crash at worst, removed at a normal exit.
std::string makeScratchFolder() {
    namespace fs = std::filesystem;
#if defined(_WIN32)
    const fs::path base = fs::temp_directory_path();
#else
    const fs::path base =
        ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
#endif
    std::mt19937_64 random{std::random_device{}()};
    static fs::path forRemoval;
    for (int attempt = 0; attempt < 100 && forRemoval.empty(); ++attempt) {
        const fs::path folder = base / ("stepcount-fuzz-" + std::to_string(random() % 1000000007));
        std::error_code error;
        if (fs::create_directory(folder, error)) forRemoval = folder;
    }
    if (forRemoval.empty()) fail("cannot create a scratch folder in", base.string());
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(forRemoval, ignored);
    });
    return forRemoval.string();
}

}  // namespace

std::string scratchPath(std::string_view name) {
    static const std::string folder = makeScratchFolder();
    return folder + '/' + std::string(name);
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) fail("cannot create", path);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) {
        fail("cannot write", path);
    }
}

}  // namespace stepcount::fuzz
