// The count command: checks the user's choices in a fixed order, turns the
// language choice into a LanguageCode and starts exactly one run. The first
// failed check is shown in a message box and ends the command.
#pragma once

#include <string_view>

#include "runs/count_runs.h"
#include "runs/count_settings.h"
#include "runs/folder_walk.h"
#include "runs/run_front_end.h"

namespace stepcount {

enum class CountOutcome {
    Completed,
    SettingsRefused,   // a check failed; nothing was opened or read
    OpenFailed,
    WriteFailed,
    Stopped,           // stopped on request; the rows written so far are whole
};

// The checks of the command. Sets `languageCode` and returns an empty text
// when the settings may run; otherwise returns the message that refuses
// them. Emptiness is all that is checked of the texts.
std::string_view checkCountSettings(const CountSettings& settings, int& languageCode);

// Checks the settings and runs the count they ask for. `extra` sees
// everything the walk meets (progress, summary).
CountOutcome runCountCommand(const CountSettings& settings, RunFrontEnd& frontEnd,
                             WalkObserver* extra = nullptr);

}  // namespace stepcount
