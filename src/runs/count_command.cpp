#include "runs/count_command.h"

#include "platform/texts.h"

namespace stepcount {

std::string_view checkCountSettings(const CountSettings& settings, int& languageCode) {
    languageCode = kLanguageNone;
    if (settings.CountFolder.empty()) return texts::kCountFolderUndefined;
    if (settings.SaveFolder.empty()) return texts::kSaveFolderUndefined;
    if (settings.ResultFileName.empty()) return texts::kResultFileNameUndefined;

    if (settings.MultiSelected) {
        languageCode = kMultiLanguage;
        if (settings.MultiVB) languageCode += kMultiVBBit;
        if (settings.MultiVC) languageCode += kMultiVCBit;
        if (settings.MultiSQL) languageCode += kMultiSQLBit;
        if (settings.MultiHTML) languageCode += kMultiHTMLBit;
    }
    if (languageCode == kMultiLanguage) return texts::kNoLanguageTicked;

    if (languageCode == kLanguageNone) {
        if (settings.VBSelected) {
            languageCode = kLanguageVB;
        } else if (settings.VCSelected) {
            languageCode = kLanguageVC;
        } else if (settings.SQLSelected) {
            languageCode = kLanguageSQL;
        } else if (settings.HTMLSelected) {
            languageCode = kLanguageHTML;
        } else if (settings.COBOLSelected) {
            languageCode = kLanguageCOBOL;
        }
    }
    if (languageCode == kLanguageNone) return texts::kNoLanguageChosen;
    return {};
}

CountOutcome runCountCommand(const CountSettings& settings, RunFrontEnd& frontEnd,
                             WalkObserver* extra) {
    int languageCode = kLanguageNone;
    const std::string_view refusal = checkCountSettings(settings, languageCode);
    if (!refusal.empty()) {
        frontEnd.showMessageBox(refusal, settings.MessageCaption, MessageKind::Failure);
        return CountOutcome::SettingsRefused;
    }
    const RunOutcome outcome =
        languageCode > kMultiLanguage
            ? ExcMultiLangCount(settings, languageCode, frontEnd, extra)
            : ExcSingleLangCount(settings, languageCode, frontEnd, extra);
    switch (outcome) {
        case RunOutcome::Completed: return CountOutcome::Completed;
        case RunOutcome::OpenFailed: return CountOutcome::OpenFailed;
        case RunOutcome::WriteFailed: return CountOutcome::WriteFailed;
        case RunOutcome::Stopped: return CountOutcome::Stopped;
    }
    return CountOutcome::Completed;
}

}  // namespace stepcount
