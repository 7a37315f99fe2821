#include "runs/count_command.h"

#include "platform/texts.h"

namespace stepcount {

std::string_view checkCountSettings(const CountSettings& settings, int& languageCode) {
    languageCode = kLanguageNone;
    if (settings.CountFolder.empty()) return texts::kCountFolderUndefined;
    return checkOutputAndLanguages(settings, languageCode);
}

std::string_view checkOutputAndLanguages(const CountSettings& settings, int& languageCode) {
    languageCode = kLanguageNone;
    if (settings.SaveFolder.empty()) return texts::kSaveFolderUndefined;
    if (settings.ResultFileName.empty()) return texts::kResultFileNameUndefined;

    if (settings.MultiSelected) {
        languageCode = kMultiLanguage;
        for (const LanguageChoice& choice : kLanguageChoices) {
            if (choice.together != nullptr && settings.*choice.together) {
                languageCode += languageOf(choice.language).severalBit;
            }
        }
    }
    if (languageCode == kMultiLanguage) return texts::kNoLanguageTicked;

    if (languageCode == kLanguageNone) {
        // The first language chosen alone, in the table's order.
        for (const LanguageChoice& choice : kLanguageChoices) {
            if (settings.*choice.alone) {
                languageCode = static_cast<int>(choice.language);
                break;
            }
        }
    }
    if (languageCode == kLanguageNone) return texts::kNoLanguageChosen;
    return {};
}

RunOutcome runCountCommand(const CountSettings& settings, RunFrontEnd& frontEnd,
                           const RunOutputs& outputs) {
    int languageCode = kLanguageNone;
    const std::string_view refusal = checkCountSettings(settings, languageCode);
    if (!refusal.empty()) {
        frontEnd.showMessageBox(refusal, settings.MessageCaption, MessageKind::Failure);
        return RunOutcome::SettingsRefused;
    }
    return runLanguageCode(settings, languageCode, frontEnd, outputs);
}

}  // namespace stepcount
