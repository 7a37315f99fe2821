// The roots of the file systems, as the window's drive boxes offer them.
#pragma once

#include <string>
#include <vector>

namespace stepcount {

// The drives to offer: on Windows the drive roots ("C:\", "D:\" ...), in the
// order of their letters; elsewhere the mount points (listMountPoints).
std::vector<std::string> listDrives();

#if !defined(_WIN32)
// The mount points of the file systems that hold files, "/" first and the
// rest in byte order, each once. Kernel and device file systems (/proc,
// /sys, /dev and the like) and mounts of single files are left out. Reads
// `mountTable` (the system's table when empty); at least "/" is returned.
std::vector<std::string> listMountPoints(const std::string& mountTable = {});
#endif

}  // namespace stepcount
