#include "runs/folder_walk.h"

#include <algorithm>

#include "platform/directory.h"

namespace stepcount {

void ObserverFanOut::onFolder(std::string_view folder, std::string_view name) {
    for (WalkObserver* observer : observers_) observer->onFolder(folder, name);
}

void ObserverFanOut::onFile(std::string_view folder, std::string_view name, const FileFacts& facts,
                            const FileCount& count) {
    for (WalkObserver* observer : observers_) observer->onFile(folder, name, facts, count);
}

namespace {

// Folders deeper than this many levels below the current one have their
// descriptor closed while the walk is below them, and reopened by path when
// it comes back: a deep tree must not run out of descriptors.
constexpr std::size_t kOpenFolderLimit = 64;

// One folder on the current walk path.
struct Visit {
    std::string path;
    UniqueFd fd;
    dev_t device = 0;
    ino_t inode = 0;
    std::vector<std::string> names;
    std::size_t next = 0;
    std::unique_ptr<VisitCounters> counters;
};

bool onWalkPath(const std::vector<Visit>& path, const EntryInfo& folder) {
    return std::any_of(path.begin(), path.end(), [&](const Visit& visit) {
        return visit.device == folder.device && visit.inode == folder.inode;
    });
}

// Makes sure a visit whose descriptor was closed has it again; false when the
// folder is gone or is no longer the same folder.
bool reopen(Visit& visit) {
    if (visit.fd.valid()) return true;
    UniqueFd fd = openFolder(visit.path);
    dev_t device;
    ino_t inode;
    if (!fd.valid() || !identifyFolder(fd.get(), device, inode) || device != visit.device ||
        inode != visit.inode) {
        return false;
    }
    visit.fd = std::move(fd);
    return true;
}

// Starts the visit of an opened folder: lists it and creates its counters.
Visit startVisit(std::string path, UniqueFd fd, FileCounting& counting) {
    Visit visit;
    visit.path = std::move(path);
    identifyFolder(fd.get(), visit.device, visit.inode);
    listFolder(fd.get(), visit.names);
    visit.fd = std::move(fd);
    visit.counters = counting.startVisit();
    return visit;
}

}  // namespace

void walkFolderTree(const std::string& countFolder, FileCounting& counting, WalkObserver& observer) {
    UniqueFd rootFd = openFolder(countFolder);
    if (!rootFd.valid()) return;

    std::vector<Visit> walkPath;
    walkPath.push_back(startVisit(countFolder, std::move(rootFd), counting));

    while (!walkPath.empty()) {
        Visit& visit = walkPath.back();
        if (visit.next == visit.names.size() || !reopen(visit)) {
            walkPath.pop_back();
            continue;
        }
        const std::string& name = visit.names[visit.next++];
        const EntryInfo info = inspectEntry(visit.fd.get(), name);

        switch (info.type) {
            case EntryType::Folder: {
                observer.onFolder(visit.path, name);
                if (onWalkPath(walkPath, info)) break;
                UniqueFd childFd = openSubfolder(visit.fd.get(), name);
                if (!childFd.valid()) break;
                std::string childPath = visit.path + '/' + name;
                if (walkPath.size() >= kOpenFolderLimit) {
                    walkPath[walkPath.size() - kOpenFolderLimit].fd.reset();
                }
                // `visit` and `name` may not be used after this push.
                walkPath.push_back(startVisit(std::move(childPath), std::move(childFd), counting));
                break;
            }
            case EntryType::RegularFile:
            case EntryType::Unreachable: {
                const FileCount count = visit.counters->count(visit.path + '/' + name);
                observer.onFile(visit.path, name, FileFacts{info.size, info.modified}, count);
                break;
            }
            case EntryType::Special:
                observer.onFile(visit.path, name, FileFacts{info.size, info.modified}, FileCount{});
                break;
        }
    }
}

}  // namespace stepcount
