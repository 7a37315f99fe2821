#include "platform/directory.h"

#include <algorithm>
#include <cerrno>

#include "platform/ascii.h"

namespace stepcount {

bool listFolder(int folderFd, std::vector<ListedEntry>& entries) {
    entries.clear();
    const bool ok = readFolderEntries(folderFd, entries);
    const int failure = ok ? 0 : errno;
    std::sort(entries.begin(), entries.end(), [](const ListedEntry& a, const ListedEntry& b) {
        return ascii::compareEntryNames(a.name, b.name) < 0;
    });
    errno = failure;
    return ok;
}

}  // namespace stepcount
