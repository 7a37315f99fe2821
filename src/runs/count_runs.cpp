#include "runs/count_runs.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "platform/exception.h"
#include "platform/stop_request.h"
#include "platform/texts.h"
#include "runs/language_counting.h"
#include "runs/revision.h"
#include "walk/folder_walk.h"
#include "walk/git_version.h"

namespace stepcount {

namespace {

// Tells the user, as a counter tells a file it cannot read, of each folder
// whose content could not be listed, and of each entry that is listed but
// not counted for a reason of its own.
class FolderFailureReport : public WalkObserver {
public:
    explicit FolderFailureReport(MessageDisplay& display) : display_(display) {}
    void onFolderFailure(std::string_view path, int errorNumber) override {
        display_.showMessage(systemFailure("Cannot read folder", std::string(path), errorNumber).what());
    }
    void onNotice(std::string_view path, std::string_view reason) override {
        display_.showMessage("Not counted \"" + std::string(path) + "\": " + std::string(reason));
    }

private:
    MessageDisplay& display_;
};

// Hides the busy indication when the run ends, however it ends.
class BusyIndication {
public:
    explicit BusyIndication(RunFrontEnd& frontEnd) : frontEnd_(frontEnd) { frontEnd_.showBusy(); }
    ~BusyIndication() { hide(); }
    void hide() {
        if (shown_) frontEnd_.hideBusy();
        shown_ = false;
    }

private:
    RunFrontEnd& frontEnd_;
    bool shown_ = true;
};

// A stop ends the run it interrupts, nothing after it.
struct StopRequestScope {
    ~StopRequestScope() { clearStopRequest(); }
};

RunOutcome countLanguages(const CountSettings& settings, const LanguageSet& languages,
                          RunFrontEnd& frontEnd, const RunOutputs& outputs) {
    LanguageCounting counting(languages);
    const RunStart start{languages, settings.CountFolder};
    return executeRun(start, settings.MessageCaption, texts::kCountFinished, frontEnd, outputs,
                      [&](WalkObserver& observer) {
                          const WalkOptions options{jobCount(settings)};
                          if (settings.Repository.empty()) {
                              walkFolderTree(settings.CountFolder, counting, observer, frontEnd,
                                             options);
                              return;
                          }
                          walkGitTree(settings.Repository,
                                      resolveRevision(settings.Repository, settings.CountFolder),
                                      settings.CountFolder, counting, observer, frontEnd, options);
                      });
}

LanguageSet languageSetOf(int languageCode, bool several) {
    const std::optional<LanguageSet> languages = LanguageSet::fromLanguageCode(languageCode);
    if (!languages || languages->isSeveral() != several) {
        throw std::invalid_argument(std::string("not a ") + (several ? "multi" : "single") +
                                    "-language code: " + std::to_string(languageCode));
    }
    return *languages;
}

}  // namespace

std::string resultPath(const CountSettings& settings) {
    return settings.SaveFolder + kPathSeparator + settings.ResultFileName;
}

unsigned jobCount(const CountSettings& settings) {
    if (settings.Jobs > 0) return settings.Jobs;
    return std::max(std::thread::hardware_concurrency(), 1U);
}

RunOutcome executeRun(const RunStart& start, std::string_view caption,
                      std::string_view completedMessage, RunFrontEnd& frontEnd,
                      const RunOutputs& outputs,
                      const std::function<void(WalkObserver& observer)>& walk) {
    StopRequestScope stopScope;
    FolderFailureReport folderFailures(frontEnd);
    ObserverFanOut observers(outputs);
    observers.add(folderFailures);
    try {
        observers.onRunStart(start);
    } catch (const OutputOpenError&) {
        frontEnd.showMessageBox(texts::kResultFileOpenFailed, caption, MessageKind::Failure);
        return RunOutcome::OpenFailed;
    }
    BusyIndication busy(frontEnd);
    RunEnd how = RunEnd::Completed;
    try {
        walk(observers);
    } catch (const StopRequested&) {
        // The rows handed to the outputs so far are whole; they are kept.
        how = RunEnd::Stopped;
    } catch (const OutputWriteError&) {
        how = RunEnd::Failed;
    } catch (...) {
        try {
            observers.onRunEnd(RunEnd::Failed);
        } catch (...) {
            // The first failure is the one to pass on.
        }
        throw;
    }
    try {
        observers.onRunEnd(how);
    } catch (const OutputWriteError&) {
        how = RunEnd::Failed;
    }
    busy.hide();
    switch (how) {
        case RunEnd::Completed:
            frontEnd.showMessageBox(completedMessage, caption, MessageKind::Information);
            return RunOutcome::Completed;
        case RunEnd::Stopped: return RunOutcome::Stopped;
        case RunEnd::Failed: break;
    }
    frontEnd.showMessageBox(texts::kResultFileWriteFailed, caption, MessageKind::Failure);
    return RunOutcome::WriteFailed;
}

RunOutcome ExcSingleLangCount(const CountSettings& settings, int languageCode,
                              RunFrontEnd& frontEnd, const RunOutputs& outputs) {
    return countLanguages(settings, languageSetOf(languageCode, false), frontEnd, outputs);
}

RunOutcome ExcMultiLangCount(const CountSettings& settings, int languageCode,
                             RunFrontEnd& frontEnd, const RunOutputs& outputs) {
    return countLanguages(settings, languageSetOf(languageCode, true), frontEnd, outputs);
}

RunOutcome runLanguageCode(const CountSettings& settings, int languageCode, RunFrontEnd& frontEnd,
                           const RunOutputs& outputs) {
    return languageCode > kMultiLanguage
               ? ExcMultiLangCount(settings, languageCode, frontEnd, outputs)
               : ExcSingleLangCount(settings, languageCode, frontEnd, outputs);
}

}  // namespace stepcount
