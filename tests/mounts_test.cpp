// The drive boxes' list of mounted file systems.
#include <gtest/gtest.h>

#include "platform/mounts.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using testing::TempDir;

TEST(MountPointsTest, OffersFoldersOfFileSystemsRootFirstEachOnce) {
    TempDir dir;
    const std::string data = dir.mkdir("data");
    const std::string spaced = dir.mkdir("with space");
    const std::string file = dir.write("hosts", "");
    // A mount table as the system writes it: a blank inside a path is "\040".
    const std::string table = dir.write(
        "mounts",
        "proc /proc proc rw 0 0\n"
        "sysfs /sys sysfs rw 0 0\n"
        "tmpfs /dev/shm tmpfs rw 0 0\n"
        "/dev/vdb " + data + " ext4 rw 0 0\n"
        "/dev/vda / ext4 rw 0 0\n"
        "/dev/vdc " + dir.path().native() + "/with\\040space ext4 rw 0 0\n"
        "/dev/vda " + file + " ext4 rw 0 0\n"
        "/dev/vdb " + data + " ext4 rw 0 0\n"
        "cgroup2 " + data + "/cgroup cgroup2 rw 0 0\n"
        "/dev/vdd /nowhere/at/all ext4 rw 0 0\n");

    EXPECT_EQ(listMountPoints(table), (std::vector<std::string>{"/", data, spaced}));
}

TEST(MountPointsTest, AnUnreadableTableStillOffersTheRoot) {
    EXPECT_EQ(listMountPoints("/nonexistent/mounts"), std::vector<std::string>{"/"});
}

}  // namespace
}  // namespace stepcount
