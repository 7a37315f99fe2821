// Where the tool's messages go. The window shows them in modal dialogs, the
// command line prints them, tests record them.
#pragma once

#include <string_view>

namespace stepcount {

// Whether a message box reports a failure or an outcome; a front end may
// route the two differently (the command line prints failures on stderr).
enum class MessageKind { Information, Failure };

class MessageDisplay {
public:
    virtual ~MessageDisplay() = default;

    // A counter's error dialog: modal, one OK button; returns when closed.
    // During a run with several jobs it is called from a counting thread,
    // not from the thread that started the run: a window must hand it to its
    // own thread and wait there until the dialog is closed. Calls never
    // overlap one another or a call of the run's observers, and the run waits
    // while the dialog is open.
    virtual void showMessage(std::string_view text) = 0;

    // A message box with a caption, one OK button and no icon; returns when
    // closed. The runs call it from the thread that started them.
    virtual void showMessageBox(std::string_view text, std::string_view caption,
                                MessageKind kind) = 0;
};

}  // namespace stepcount
