#include "runs/count_runs.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <thread>

#include "counters/counters.h"
#include "platform/exception.h"
#include "platform/stop_request.h"
#include "platform/texts.h"
#include "report/result_file.h"

namespace stepcount {

namespace {

// Counts a file with one counter; the record only when it was counted.
template <class Counter>
FileCount countWith(Counter& counter, const FileLocation& file, FileFacts& facts) {
    typename Counter::Record record{};
    if (counter.fiCalcFile(file, record) != kCounted) return {};
    facts = counter.fileFacts();
    return record;
}

template <class Counter>
class SingleLanguageCounting : public FileCounting {
public:
    std::unique_ptr<CounterSet> newCounterSet(MessageDisplay& display) override {
        return std::make_unique<Counters>(display);
    }

private:
    class Counters : public CounterSet {
    public:
        explicit Counters(MessageDisplay& display) : counter_(display) {}
        FileCount count(const FileLocation& file, FileFacts& facts) override {
            return countWith(counter_, file, facts);
        }

    private:
        Counter counter_;
    };
};

class MultiLanguageCounting : public FileCounting {
public:
    explicit MultiLanguageCounting(int languageCode) : languageCode_(languageCode) {}

    std::unique_ptr<CounterSet> newCounterSet(MessageDisplay& display) override {
        return std::make_unique<Counters>(languageCode_, display);
    }

private:
    class Counters : public CounterSet {
    public:
        Counters(int languageCode, MessageDisplay& display)
            : languageCode_(languageCode), display_(display), vb_(display), vc_(display),
              sql_(display), html_(display) {}

        FileCount count(const FileLocation& file, FileFacts& facts) override {
            switch (ChkMultiLangType(file.path, languageCode_, display_)) {
                case kLanguageVB: return countWith(vb_, file, facts);
                case kLanguageVC: return countWith(vc_, file, facts);
                case kLanguageSQL: return countWith(sql_, file, facts);
                case kLanguageHTML: return countWith(html_, file, facts);
                default: return {};
            }
        }

    private:
        int languageCode_;
        MessageDisplay& display_;
        mVBCalc_c vb_;
        mVCCalc_c vc_;
        mSQLCalc_c sql_;
        mHTMLCalc_c html_;
    };

    int languageCode_;
};

unsigned jobCount(const CountSettings& settings) {
    if (settings.Jobs > 0) return settings.Jobs;
    return std::max(std::thread::hardware_concurrency(), 1U);
}

// Tells the user, as a counter tells a file it cannot read, of each folder
// whose content could not be listed.
class FolderFailureReport : public WalkObserver {
public:
    explicit FolderFailureReport(MessageDisplay& display) : display_(display) {}
    void onFolder(std::string_view, std::string_view) override {}
    void onFile(std::string_view, std::string_view, const FileFacts&, const FileCount&) override {}
    void onFolderFailure(std::string_view path, int errorNumber) override {
        display_.showMessage(systemFailure("Cannot read folder", std::string(path), errorNumber).what());
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

RunOutcome runCount(const CountSettings& settings, ResultLayout layout, FileCounting& counting,
                    RunFrontEnd& frontEnd, WalkObserver* extra) {
    const std::unique_ptr<ResultFileWriter> writer =
        ResultFileWriter::open(resultPath(settings), layout, settings.Encoding);
    if (!writer) {
        frontEnd.showMessageBox(texts::kResultFileOpenFailed, settings.MessageCaption,
                                MessageKind::Failure);
        return RunOutcome::OpenFailed;
    }
    BusyIndication busy(frontEnd);
    bool stopped = false;
    try {
        writer->writeHeader();
        ObserverFanOut observers;
        observers.add(*writer);
        FolderFailureReport folderFailures(frontEnd);
        observers.add(folderFailures);
        if (extra != nullptr) observers.add(*extra);
        try {
            walkFolderTree(settings.CountFolder, counting, observers, frontEnd,
                           WalkOptions{jobCount(settings)});
        } catch (const StopRequested&) {
            // The rows handed to the writer so far are whole; they are kept.
            stopped = true;
        }
        writer->close();
    } catch (const ResultWriteError&) {
        busy.hide();
        frontEnd.showMessageBox(texts::kResultFileWriteFailed, settings.MessageCaption,
                                MessageKind::Failure);
        return RunOutcome::WriteFailed;
    }
    busy.hide();
    if (stopped) return RunOutcome::Stopped;
    frontEnd.showMessageBox(texts::kCountFinished, settings.MessageCaption,
                            MessageKind::Information);
    return RunOutcome::Completed;
}

template <class Counter>
RunOutcome runSingle(const CountSettings& settings, ResultLayout layout, RunFrontEnd& frontEnd,
                     WalkObserver* extra) {
    SingleLanguageCounting<Counter> counting;
    return runCount(settings, layout, counting, frontEnd, extra);
}

}  // namespace

std::string resultPath(const CountSettings& settings) {
    return settings.SaveFolder + '/' + settings.ResultFileName;
}

RunOutcome ExcSingleLangCount(const CountSettings& settings, int languageCode,
                              RunFrontEnd& frontEnd, WalkObserver* extra) {
    switch (languageCode) {
        case kLanguageVB: return runSingle<mVBCalc_c>(settings, ResultLayout::VB, frontEnd, extra);
        case kLanguageVC: return runSingle<mVCCalc_c>(settings, ResultLayout::Standard, frontEnd, extra);
        case kLanguageSQL: return runSingle<mSQLCalc_c>(settings, ResultLayout::Standard, frontEnd, extra);
        case kLanguageHTML: return runSingle<mHTMLCalc_c>(settings, ResultLayout::Standard, frontEnd, extra);
        case kLanguageCOBOL: return runSingle<mCOBOLCalc_c>(settings, ResultLayout::COBOL, frontEnd, extra);
        default:
            throw std::invalid_argument("not a single-language code: " + std::to_string(languageCode));
    }
}

RunOutcome ExcMultiLangCount(const CountSettings& settings, int languageCode,
                             RunFrontEnd& frontEnd, WalkObserver* extra) {
    MultiLanguageCounting counting(languageCode);
    return runCount(settings, ResultLayout::MultiLanguage, counting, frontEnd, extra);
}

int ChkMultiLangType(const std::string& path, int languageCode, MessageDisplay& display) {
    mVBCalc_c vb(display);
    mVCCalc_c vc(display);
    mSQLCalc_c sql(display);
    mHTMLCalc_c html(display);
    VBCountResult scratch{};
    int language = kLanguageNone;
    if ((languageCode & kMultiVBBit) && vb.fiGetType(path, scratch) == kCounted) language = kLanguageVB;
    if ((languageCode & kMultiVCBit) && vc.fiChkType(path) == kCounted) language = kLanguageVC;
    if ((languageCode & kMultiSQLBit) && sql.fiChkType(path) == kCounted) language = kLanguageSQL;
    if ((languageCode & kMultiHTMLBit) && html.fiChkType(path) == kCounted) language = kLanguageHTML;
    return language;
}

}  // namespace stepcount
