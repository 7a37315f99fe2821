#include "platform/mounts.h"

#include <mntent.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace stepcount {
namespace {

// File systems that hold no user files.
constexpr std::array<std::string_view, 22> kSystemTypes = {
    "proc",       "sysfs",   "devtmpfs",   "devpts",    "cgroup",   "cgroup2",
    "securityfs", "pstore",  "bpf",        "tracefs",   "debugfs",  "mqueue",
    "hugetlbfs",  "configfs", "fusectl",   "binfmt_misc", "autofs", "rpc_pipefs",
    "nsfs",       "efivarfs", "selinuxfs", "overlay_internal",
};

bool underSystemFolder(std::string_view path) {
    for (std::string_view top : {"/proc", "/sys", "/dev"}) {
        if (path.starts_with(top) && (path.size() == top.size() || path[top.size()] == '/')) {
            return true;
        }
    }
    return false;
}

bool offered(const mntent& entry) {
    const std::string_view type = entry.mnt_type;
    const std::string_view path = entry.mnt_dir;
    if (path.empty() || path.front() != '/' || underSystemFolder(path)) return false;
    if (std::find(kSystemTypes.begin(), kSystemTypes.end(), type) != kSystemTypes.end()) {
        return false;
    }
    struct stat status {};
    return ::stat(entry.mnt_dir, &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

std::vector<std::string> listMountPoints(const std::string& mountTable) {
    std::vector<std::string> points;
    const std::string table = mountTable.empty() ? "/proc/self/mounts" : mountTable;
    if (FILE* file = ::setmntent(table.c_str(), "r")) {
        mntent entry{};
        std::array<char, 4096> buffer{};
        while (::getmntent_r(file, &entry, buffer.data(), static_cast<int>(buffer.size()))) {
            if (offered(entry)) points.emplace_back(entry.mnt_dir);
        }
        ::endmntent(file);
    }
    points.emplace_back("/");
    std::sort(points.begin(), points.end(), [](const std::string& a, const std::string& b) {
        if (a == "/" || b == "/") return a == "/" && b != "/";
        return a < b;
    });
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

std::vector<std::string> listDrives() { return listMountPoints(); }

}  // namespace stepcount
