#include "report/run_tally.h"

namespace stepcount {

void RunTally::onFolder(std::string_view, std::string_view) { ++folders; }

void RunTally::onFile(const WalkedFile& file) {
    if (!isCounted(file.count)) {
        ++filesNotCounted;
        return;
    }
    ++filesCounted;
    std::visit(
        [this](const auto& record) {
            if constexpr (requires { record.ulTotalSteps; }) totalSteps += record.ulTotalSteps;
        },
        file.count);
}

}  // namespace stepcount

namespace stepcount {

void RunTally::onFolderPair(std::string_view, std::string_view, Sides) { ++folders; }

void RunTally::onFilePair(const PairedFile& file) {
    const PairStatus status = file.compared.status;
    if (status == PairStatus::NotCounted || status == PairStatus::Unreadable) {
        ++filesNotCounted;
    } else {
        ++filesCounted;
    }
}

}  // namespace stepcount
