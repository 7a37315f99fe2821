// What a run asks of the front end that started it: the window, or the
// command line.
//
// Threads: the run calls showBusy, hideBusy and showMessageBox, and every
// WalkObserver it is given, from the thread that called runCountCommand.
// showMessage (a counter's error dialog) comes from a counting thread when
// the run counts several files at once (CountSettings::Jobs), one call at a
// time and never while an observer is being called (see MessageDisplay).
#pragma once

#include "platform/message_display.h"

namespace stepcount {

class RunFrontEnd : public MessageDisplay {
public:
    // The busy indication, shown for the whole walk.
    virtual void showBusy() = 0;
    virtual void hideBusy() = 0;
};

}  // namespace stepcount
