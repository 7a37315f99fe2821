// The user's choices for one count, as one plain record: filled from the
// window or the command line, read by the count command and the runs.
#pragma once

#include <span>
#include <string>

#include "counters/languages.h"
#include "platform/text_encoding.h"
#include "platform/texts.h"

namespace stepcount {

struct CountSettings {
    std::string CountFolder;      // root of the tree to count
    std::string SaveFolder;       // folder that receives the result file
    std::string ResultFileName{texts::kDefaultResultFileName};
    // One language alone; at most one of these six is set.
    bool VBSelected = false;
    bool VCSelected = false;      // C, C++, Pro*C, Java
    bool SQLSelected = false;
    bool HTMLSelected = false;    // HTML, ASP, JSP
    bool COBOLSelected = false;
    bool MultiSelected = false;   // several languages, ticked below
    bool MultiVB = false;
    bool MultiVC = false;
    bool MultiSQL = false;
    bool MultiHTML = false;
    std::string MessageCaption{texts::kWindowCaption};
    ResultEncoding Encoding = ResultEncoding::CP932;
    // Files counted at once, on as many threads; 0: as many as the machine
    // has cores. The result file is the same whatever the number.
    unsigned Jobs = 0;
    // When set, a git repository (its work tree, the repository itself or
    // a folder inside the work tree), and CountFolder names one of its
    // revisions ("REV" or "REV:SUBFOLDER") instead of a folder on disk.
    std::string Repository;
};

// The fields that choose a language: alone, and among several (none for a
// language that is counted alone only). One row for each language of the
// table, in its order.
struct LanguageChoice {
    LanguageId language;
    bool CountSettings::*alone;
    bool CountSettings::*together;
};
inline constexpr LanguageChoice kLanguageChoices[] = {
    {LanguageId::VB, &CountSettings::VBSelected, &CountSettings::MultiVB},
    {LanguageId::VC, &CountSettings::VCSelected, &CountSettings::MultiVC},
    {LanguageId::SQL, &CountSettings::SQLSelected, &CountSettings::MultiSQL},
    {LanguageId::HTML, &CountSettings::HTMLSelected, &CountSettings::MultiHTML},
    {LanguageId::COBOL, &CountSettings::COBOLSelected, nullptr},
};

// The choice fields of a language.
const LanguageChoice& choiceOf(LanguageId language);

}  // namespace stepcount
