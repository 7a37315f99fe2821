#include "runs/run_summary.h"

namespace stepcount {

void RunSummary::onFolder(std::string_view, std::string_view) { ++folders; }

void RunSummary::onFile(std::string_view, std::string_view, const FileFacts&,
                        const FileCount& count) {
    if (!isCounted(count)) {
        ++filesNotCounted;
        return;
    }
    ++filesCounted;
    std::visit(
        [this](const auto& record) {
            if constexpr (requires { record.ulTotalSteps; }) totalSteps += record.ulTotalSteps;
        },
        count);
}

}  // namespace stepcount
