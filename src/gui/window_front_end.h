// The window as the front end of a run. The run executes on a worker thread
// so that the window keeps repainting; everything it asks of the window
// (the busy panel, a message box, a counter's error dialog) is carried out
// on the window's thread while the run waits, so a dialog holds the run until
// it is closed. Progress is posted to the window without holding the run.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "report/run_tally.h"
#include "runs/run_front_end.h"

namespace stepcount::gui {

// Shows `text` in a modal message box with one OK button and no icon.
void showDialog(QWidget* parent, std::string_view text, const QString& caption);

// Message boxes of the window: modal, one OK button, no icon.
class DialogDisplay : public MessageDisplay {
public:
    explicit DialogDisplay(QWidget* parent) : parent_(parent) {}
    void showMessage(std::string_view text) override;
    void showMessageBox(std::string_view text, std::string_view caption, MessageKind kind) override;

private:
    QWidget* parent_;
};

class WindowFrontEnd : public RunFrontEnd {
public:
    // `window` is the object whose thread shows things; `dialogs` shows the
    // messages; `busyPanel` is shown for the whole run.
    WindowFrontEnd(QObject* window, MessageDisplay& dialogs, QWidget* busyPanel)
        : window_(window), dialogs_(dialogs), busyPanel_(busyPanel) {}

    void showMessage(std::string_view text) override;
    void showMessageBox(std::string_view text, std::string_view caption, MessageKind kind) override;
    void showBusy() override;
    void hideBusy() override;

    // The progress of the run under way, brought up to date when the walk
    // is over.
    void setProgress(class WindowProgress* progress) { progress_ = progress; }

    // The window is going away: what the run waits for on the window's
    // thread is given up, and nothing more is asked of the window. Called on
    // the window's thread.
    void abandon();

private:
    // Runs `action` on the window's thread and returns when it is done, or
    // at once, without it, once the window is abandoned.
    void onWindowThread(std::function<void()> action);

    // What the run's thread and the window's thread share about the calls
    // handed to the window; it lives as long as a call that refers to it.
    struct Calls {
        std::mutex mutex;
        std::condition_variable done;
        bool abandoned = false;
    };

    std::shared_ptr<Calls> calls_ = std::make_shared<Calls>();
    QObject* window_;
    MessageDisplay& dialogs_;
    QWidget* busyPanel_;
    WindowProgress* progress_ = nullptr;
};

// What the window shows of a run in progress.
struct ProgressFigures {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::string currentFolder;
    bool finished = false;   // the walk is over
};

// Tallies the walk and hands the figures to `show` on the window's thread,
// at most every `interval`, and once more at `finish`.
class WindowProgress : public WalkObserver {
public:
    using Show = std::function<void(const ProgressFigures&)>;
    WindowProgress(QObject* window, Show show,
                   std::chrono::milliseconds interval = std::chrono::milliseconds(100))
        : window_(window), show_(std::move(show)), interval_(interval) {}

    void onFolder(std::string_view folder, std::string_view name) override;
    void onFile(const WalkedFile& file) override;
    void onFolderPair(std::string_view folder, std::string_view name, Sides sides) override;
    void onFilePair(const PairedFile& file) override;
    // Shows the final figures.
    void finish();

private:
    void post(bool finished);

    QPointer<QObject> window_;
    Show show_;
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point lastShown_{};
    RunTally tallies_;
    std::string currentFolder_;
};

}  // namespace stepcount::gui
