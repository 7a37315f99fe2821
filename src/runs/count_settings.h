// The user's choices for one count, as one plain record: filled from the
// window or the command line, read by the count command and the runs.
#pragma once

#include <string>

#include "platform/text_encoding.h"
#include "platform/texts.h"

namespace stepcount {

struct CountSettings {
    std::string CountFolder;      // root of the tree to count
    std::string SaveFolder;       // folder that receives the result file
    std::string ResultFileName{texts::kDefaultResultFileName};
    // Single language; at most one of these six is set.
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
};

// LanguageCode: what a run counts. 1 to 5 name one language; 16 plus a bit
// mask names several.
inline constexpr int kLanguageNone = 0;
inline constexpr int kLanguageVB = 1;
inline constexpr int kLanguageVC = 2;
inline constexpr int kLanguageSQL = 3;
inline constexpr int kLanguageHTML = 4;
inline constexpr int kLanguageCOBOL = 5;
inline constexpr int kMultiLanguage = 16;
inline constexpr int kMultiVBBit = 1;
inline constexpr int kMultiVCBit = 2;
inline constexpr int kMultiSQLBit = 4;
inline constexpr int kMultiHTMLBit = 8;

}  // namespace stepcount
