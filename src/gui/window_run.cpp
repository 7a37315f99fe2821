#include "gui/window_run.h"

#include <QLocale>
#include <QMetaObject>

#include <exception>

#include "gui/window_parts.h"
#include "platform/stop_request.h"
#include "platform/texts.h"

namespace stepcount::gui {

WindowRun::WindowRun(QWidget* window, MessageDisplay& dialogs, QLabel* busyPanel,
                     QLabel* progressLabel, QPushButton* button, Finished finished)
    : window_(window), dialogs_(dialogs), progressLabel_(progressLabel), button_(button),
      finished_(std::move(finished)),
      frontEnd_(std::make_unique<WindowFrontEnd>(window, dialogs, busyPanel)) {}

WindowRun::~WindowRun() {
    if (!worker_.joinable()) return;
    requestStop(kStopForClosingWindow);
    frontEnd_->abandon();
    worker_.join();
}

void WindowRun::start(Command command) {
    if (inProgress()) return;
    try {
        progress_ = std::make_unique<WindowProgress>(
            window_, [this](const ProgressFigures& figures) { showProgress(figures); });
        frontEnd_->setProgress(progress_.get());
        progressLabel_->clear();
        button_->setEnabled(false);
        worker_ = std::thread([this, command = std::move(command)] {
            RunOutcome outcome = RunOutcome::SettingsRefused;
            std::string failure;
            try {
                outcome = command(*frontEnd_, *progress_);
            } catch (const std::exception& error) {
                failure = error.what();
            }
            QMetaObject::invokeMethod(
                window_, [this, outcome, failure] { finish(outcome, failure); },
                Qt::QueuedConnection);
        });
    } catch (const std::exception& error) {
        button_->setEnabled(true);
        dialogs_.showMessageBox(error.what(), window_->windowTitle().toUtf8().toStdString(),
                                MessageKind::Failure);
    }
}

void WindowRun::finish(RunOutcome outcome, const std::string& failure) {
    if (worker_.joinable()) worker_.join();
    frontEnd_->setProgress(nullptr);
    if (outcome == RunOutcome::SettingsRefused) progressLabel_->clear();
    button_->setEnabled(true);
    if (!failure.empty()) {
        dialogs_.showMessageBox(failure, window_->windowTitle().toUtf8().toStdString(),
                                MessageKind::Failure);
    }
    if (finished_) finished_(outcome);
}

// The figures of the run; the folder being counted only while it runs.
void WindowRun::showProgress(const ProgressFigures& figures) {
    QString text = qtext(texts::kProgressCounts)
                       .arg(QLocale().toString(static_cast<qulonglong>(figures.files)),
                            QLocale().toString(static_cast<qulonglong>(figures.folders)));
    if (!figures.finished && !figures.currentFolder.empty()) {
        text += qtext(texts::kProgressFolder).arg(wrappablePath(figures.currentFolder));
    }
    progressLabel_->setText(text);
}

}  // namespace stepcount::gui
