// The count command: checks the user's choices in a fixed order, turns the
// language choice into a LanguageCode and starts exactly one run. The first
// failed check is shown in a message box and ends the command.
#pragma once

#include <string_view>
#include <vector>

#include "runs/count_runs.h"
#include "runs/count_settings.h"
#include "runs/run_front_end.h"

namespace stepcount {

// The checks of the command. Sets `languageCode` and returns an empty text
// when the settings may run; otherwise returns the message that refuses
// them. Emptiness is all that is checked of the texts.
std::string_view checkCountSettings(const CountSettings& settings, int& languageCode);

// The same checks without the count folder's: the save folder, the result
// file name and the languages.
std::string_view checkOutputAndLanguages(const CountSettings& settings, int& languageCode);

// Checks the settings and runs the count they ask for, writing to `outputs`
// (the result file and whatever else the front end wants: progress,
// summaries).
RunOutcome runCountCommand(const CountSettings& settings, RunFrontEnd& frontEnd,
                           const RunOutputs& outputs);

}  // namespace stepcount
