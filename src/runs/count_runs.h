// The count runs: one language, or several at once. A run starts its
// outputs (the result file opens and writes its header), shows the busy
// indication, walks the count folder handing every folder and file to the
// outputs, ends them (the result file is closed) and reports the end.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runs/count_settings.h"
#include "runs/run_front_end.h"
#include "walk/walk_observer.h"

namespace stepcount {

enum class RunOutcome {
    Completed,
    SettingsRefused,   // a check of the count command failed; nothing was opened or read
    OpenFailed,        // an output (the result file) could not be opened; nothing was read
    WriteFailed,       // writing an output failed
    Stopped,           // stopped on request (requestStop) before the walk ended: the
                       // outputs hold the rows given up to then, each whole; no
                       // completion message
};

// What a run writes to: the result file writer, progress displays, summaries.
using RunOutputs = std::vector<WalkObserver*>;

// The result file: the save folder, the separator and the file name, joined
// as they are.
std::string resultPath(const CountSettings& settings);

// Counts one language (LanguageCode 1 to 5).
RunOutcome ExcSingleLangCount(const CountSettings& settings, int languageCode,
                              RunFrontEnd& frontEnd, const RunOutputs& outputs);

// Counts the languages of a multi-language LanguageCode (17 to 31) in one pass.
RunOutcome ExcMultiLangCount(const CountSettings& settings, int languageCode,
                             RunFrontEnd& frontEnd, const RunOutputs& outputs);

// The run that a LanguageCode names: ExcSingleLangCount or ExcMultiLangCount.
RunOutcome runLanguageCode(const CountSettings& settings, int languageCode, RunFrontEnd& frontEnd,
                           const RunOutputs& outputs);

// The frame of every run: starts the outputs (an output that cannot be
// opened shows the open-failure message and ends the run), shows the busy
// indication, calls `walk` with the observer that passes everything on to
// the outputs, ends the outputs, hides the busy indication and shows
// `completedMessage` when the walk went through; a write failure shows the
// write-failure message instead, a stop nothing. A folder whose content
// could not be listed is told to the user as a counter tells a file it
// cannot read. A stop request ends the run it stops and is cleared then.
RunOutcome executeRun(const RunStart& start, std::string_view caption,
                      std::string_view completedMessage, RunFrontEnd& frontEnd,
                      const RunOutputs& outputs,
                      const std::function<void(WalkObserver& observer)>& walk);

// Files counted at once for the settings: their Jobs, or the machine's cores.
unsigned jobCount(const CountSettings& settings);

}  // namespace stepcount
