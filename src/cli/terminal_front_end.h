// The command line as the front end of a run: messages are printed
// (failures and counters' error dialogs on stderr, the rest on stdout) and
// the busy indication is the progress line.
#pragma once

#include "cli/progress_line.h"
#include "runs/run_front_end.h"

namespace stepcount::cli {

class TerminalFrontEnd : public RunFrontEnd {
public:
    explicit TerminalFrontEnd(ProgressLine& progress) : progress_(progress) {}

    void showMessage(std::string_view text) override;
    void showMessageBox(std::string_view text, std::string_view caption, MessageKind kind) override;
    void showBusy() override {}
    void hideBusy() override { progress_.clear(); }

private:
    ProgressLine& progress_;
};

}  // namespace stepcount::cli
