#include "report/diff_tally.h"

namespace stepcount {

void DiffTally::onFilePair(const PairedFile& file) {
    const ComparedFile& compared = file.compared;
    switch (compared.status) {
        case PairStatus::Added: ++filesAdded; break;
        case PairStatus::Deleted: ++filesDeleted; break;
        case PairStatus::Changed: ++filesChanged; break;
        case PairStatus::Unchanged: ++filesUnchanged; break;
        case PairStatus::NotCounted:
        case PairStatus::Unreadable: return;
    }
    steps.added += compared.changes.added;
    steps.changed += compared.changes.changed;
    steps.deleted += compared.changes.deleted;
    steps.unchanged += compared.changes.unchanged;
}

std::string DiffTally::text() const {
    auto n = [](std::uint64_t value) { return std::to_string(value); };
    return "Files added: " + n(filesAdded) + ", deleted: " + n(filesDeleted) + ", changed: " +
           n(filesChanged) + ", unchanged: " + n(filesUnchanged) + ". Steps added: " +
           n(steps.added) + ", changed: " + n(steps.changed) + ", deleted: " + n(steps.deleted) +
           ", unchanged: " + n(steps.unchanged) + ".";
}

}  // namespace stepcount
