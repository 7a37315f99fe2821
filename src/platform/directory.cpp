#include "platform/directory.h"

#include <algorithm>
#include <cerrno>

#include "platform/ascii.h"

namespace stepcount {

bool listFolder(int folderFd, std::vector<ListedEntry>& entries) {
    entries.clear();
    const bool ok = readFolderEntries(folderFd, entries);
    const int failure = ok ? 0 : errno;
    sortEntriesByName(entries);
    errno = failure;
    return ok;
}

void sortEntriesByName(std::vector<ListedEntry>& entries) {
    const auto before = [](const ListedEntry& a, const ListedEntry& b) {
        return ascii::compareEntryNames(a.name, b.name) < 0;
    };
    // Often sorted already (listed again).
    if (!std::is_sorted(entries.begin(), entries.end(), before)) {
        std::sort(entries.begin(), entries.end(), before);
    }
}

}  // namespace stepcount
