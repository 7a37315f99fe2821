#include "walk/walk_observer.h"

namespace stepcount {

void ObserverFanOut::onRunStart(const RunStart& start) {
    for (std::size_t started = 0; started < observers_.size(); ++started) {
        try {
            observers_[started]->onRunStart(start);
        } catch (...) {
            for (std::size_t i = 0; i < started; ++i) {
                try {
                    observers_[i]->onRunEnd(RunEnd::Failed);
                } catch (...) {
                    // The failure to start is the one to tell.
                }
            }
            throw;
        }
    }
}

void ObserverFanOut::onFolder(std::string_view folder, std::string_view name) {
    for (WalkObserver* observer : observers_) observer->onFolder(folder, name);
}

void ObserverFanOut::onFile(const WalkedFile& file) {
    for (WalkObserver* observer : observers_) observer->onFile(file);
}

void ObserverFanOut::onFolderPair(std::string_view folder, std::string_view name, Sides sides) {
    for (WalkObserver* observer : observers_) observer->onFolderPair(folder, name, sides);
}

void ObserverFanOut::onFilePair(const PairedFile& file) {
    for (WalkObserver* observer : observers_) observer->onFilePair(file);
}

void ObserverFanOut::onFolderFailure(std::string_view path, int errorNumber) {
    for (WalkObserver* observer : observers_) observer->onFolderFailure(path, errorNumber);
}

void ObserverFanOut::onNotice(std::string_view path, std::string_view reason) {
    for (WalkObserver* observer : observers_) observer->onNotice(path, reason);
}

void ObserverFanOut::onRunEnd(RunEnd how) {
    std::exception_ptr failure;
    for (WalkObserver* observer : observers_) {
        try {
            observer->onRunEnd(how);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace stepcount
