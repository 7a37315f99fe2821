// A run started from a window: it executes on a worker thread so that the
// window keeps repainting, with the window as its front end (busy panel,
// message boxes, a counter's error dialog on the window's thread) and the
// window's progress label showing files and folders done. The window's
// button stays disabled until the run has ended. A window that goes while
// its run goes on stops the run: what the run waits for on the window's
// thread is given up, the run ends at its next row with the rows written so
// far whole, and the window waits for it before it goes.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "gui/window_front_end.h"
#include "runs/count_runs.h"

namespace stepcount::gui {

class WindowRun {
public:
    // The reason of the stop that a window going away asks of its run.
    static constexpr int kStopForClosingWindow = -1;

    // What a run does on the worker thread: starts a command with the front
    // end and the window's progress among its outputs.
    using Command = std::function<RunOutcome(RunFrontEnd& frontEnd, WalkObserver& progress)>;
    using Finished = std::function<void(RunOutcome outcome)>;

    WindowRun(QWidget* window, MessageDisplay& dialogs, QLabel* busyPanel, QLabel* progressLabel,
              QPushButton* button, Finished finished);
    ~WindowRun();
    WindowRun(const WindowRun&) = delete;
    WindowRun& operator=(const WindowRun&) = delete;

    // Starts `command` unless a run goes on already.
    void start(Command command);
    bool inProgress() const { return worker_.joinable(); }

private:
    void finish(RunOutcome outcome, const std::string& failure);
    void showProgress(const ProgressFigures& figures);

    QWidget* window_;
    MessageDisplay& dialogs_;
    QLabel* progressLabel_;
    QPushButton* button_;
    Finished finished_;
    std::unique_ptr<WindowFrontEnd> frontEnd_;
    std::unique_ptr<WindowProgress> progress_;
    std::thread worker_;
};

}  // namespace stepcount::gui
