// The comparison command: counts the steps added, changed and deleted between
// two versions of a tree (OLD and NEW) into a comparison result file. Its
// choices are checked as a count's are, and the run is framed as a count's.
#pragma once

#include <string>
#include <string_view>

#include "runs/count_runs.h"
#include "runs/count_settings.h"
#include "runs/run_front_end.h"

namespace stepcount {

struct DiffSettings {
    DiffSettings() { choices.ResultFileName = std::string(texts::kDefaultDiffResultFileName); }

    // The version before and after: folders, or, when choices.Repository
    // is set, revisions of that repository ("." for its work tree).
    std::string OldFolder;
    std::string NewFolder;
    // The languages, the save folder and result file name (DiffResult.csv
    // unless changed), the caption, encoding and jobs, as for a count; its
    // count folder is not used.
    CountSettings choices;
    // Steps compare with ASCII letters folded.
    bool IgnoreCase = false;
};

// The checks of the command, as a count's: an empty OLD or NEW folder is an
// undefined count folder. Sets `languageCode` and returns an empty text when
// the settings may run; otherwise the message that refuses them.
std::string_view checkDiffSettings(const DiffSettings& settings, int& languageCode);

// Checks the settings and runs the comparison, writing to `outputs` (the
// comparison result file and whatever else the front end wants).
RunOutcome runDiffCommand(const DiffSettings& settings, RunFrontEnd& frontEnd,
                          const RunOutputs& outputs);

}  // namespace stepcount
