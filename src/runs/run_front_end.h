// What a run asks of the front end that started it: the window, or the
// command line.
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
