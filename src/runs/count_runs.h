// The two count runs: one language, or several at once. A run opens the
// result file for appending, shows the busy indication, writes the header,
// walks the count folder writing a row for every folder and file, closes the
// file and reports the end.
#pragma once

#include <string>

#include "runs/count_settings.h"
#include "runs/folder_walk.h"
#include "runs/run_front_end.h"

namespace stepcount {

enum class RunOutcome {
    Completed,
    OpenFailed,    // the result file could not be opened; nothing was read
    WriteFailed,   // writing the result file failed
    Stopped,       // stopped on request (requestStop) before the walk ended: the
                   // result file holds the rows written up to then, each whole;
                   // no completion message
};

// The result file: the save folder, "/" and the file name, joined as they are.
std::string resultPath(const CountSettings& settings);

// Counts one language (LanguageCode 1 to 5). `extra`, when given, sees
// everything the walk meets as the result file does.
RunOutcome ExcSingleLangCount(const CountSettings& settings, int languageCode,
                              RunFrontEnd& frontEnd, WalkObserver* extra = nullptr);

// Counts the languages of a multi-language LanguageCode (17 to 31) in one pass.
RunOutcome ExcMultiLangCount(const CountSettings& settings, int languageCode,
                             RunFrontEnd& frontEnd, WalkObserver* extra = nullptr);

// The language of a file among those of a multi-language LanguageCode:
// 0 none, 1 VB, 2 C family, 3 SQL, 4 HTML family. Every chosen language is
// asked, in this order, and a later acceptance overrides an earlier one.
int ChkMultiLangType(const std::string& path, int languageCode, MessageDisplay& display);

}  // namespace stepcount
