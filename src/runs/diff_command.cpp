#include "runs/diff_command.h"

#include "platform/texts.h"
#include "runs/count_command.h"
#include "runs/revision.h"
#include "runs/version_comparing.h"
#include "walk/paired_walk.h"

namespace stepcount {

std::string_view checkDiffSettings(const DiffSettings& settings, int& languageCode) {
    languageCode = kLanguageNone;
    if (settings.OldFolder.empty() || settings.NewFolder.empty()) {
        return texts::kCountFolderUndefined;
    }
    return checkOutputAndLanguages(settings.choices, languageCode);
}

RunOutcome runDiffCommand(const DiffSettings& settings, RunFrontEnd& frontEnd,
                          const RunOutputs& outputs) {
    const CountSettings& choices = settings.choices;
    int languageCode = kLanguageNone;
    const std::string_view refusal = checkDiffSettings(settings, languageCode);
    if (!refusal.empty()) {
        frontEnd.showMessageBox(refusal, choices.MessageCaption, MessageKind::Failure);
        return RunOutcome::SettingsRefused;
    }
    const LanguageSet languages = *LanguageSet::fromLanguageCode(languageCode);
    VersionComparing comparing(languages, settings.IgnoreCase);
    const RunStart start{languages, settings.NewFolder};
    return executeRun(start, choices.MessageCaption, texts::kDiffFinished, frontEnd, outputs,
                      [&](WalkObserver& observer) {
                          const bool inRepository = !choices.Repository.empty();
                          const VersionSource oldVersion =
                              inRepository ? revisionVersion(choices.Repository, settings.OldFolder)
                                           : folderVersion(settings.OldFolder);
                          const VersionSource newVersion =
                              inRepository ? revisionVersion(choices.Repository, settings.NewFolder)
                                           : folderVersion(settings.NewFolder);
                          walkVersions(oldVersion, newVersion, comparing, observer, frontEnd,
                                       WalkOptions{jobCount(choices)});
                      });
}

}  // namespace stepcount
