#include "gui/window_front_end.h"

#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QMetaObject>
#include <QThread>

namespace stepcount::gui {

void showDialog(QWidget* parent, std::string_view text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption,
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.exec();
}

void DialogDisplay::showMessage(std::string_view text) {
    showDialog(parent_, text, parent_ != nullptr ? parent_->windowTitle() : QString());
}

void DialogDisplay::showMessageBox(std::string_view text, std::string_view caption, MessageKind) {
    showDialog(parent_, text, QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
}

void WindowFrontEnd::onWindowThread(std::function<void()> action) {
    if (QThread::currentThread() == window_->thread()) {
        if (!calls_->abandoned) action();
        return;
    }
    // Handed to the window's thread and waited for; not a blocking queued
    // call, which a window waiting for the run would never carry out.
    struct Call {
        std::function<void()> action;
        bool done = false;
    };
    auto call = std::make_shared<Call>(Call{std::move(action)});
    std::unique_lock<std::mutex> lock(calls_->mutex);
    if (calls_->abandoned) return;
    QMetaObject::invokeMethod(
        window_,
        [calls = calls_, call] {
            {
                std::lock_guard<std::mutex> guard(calls->mutex);
                if (calls->abandoned) return;
            }
            call->action();
            std::lock_guard<std::mutex> guard(calls->mutex);
            call->done = true;
            calls->done.notify_all();
        },
        Qt::QueuedConnection);
    calls_->done.wait(lock, [&] { return call->done || calls_->abandoned; });
}

void WindowFrontEnd::abandon() {
    std::lock_guard<std::mutex> lock(calls_->mutex);
    calls_->abandoned = true;
    calls_->done.notify_all();
}

void WindowFrontEnd::showMessage(std::string_view text) {
    onWindowThread([this, copy = std::string(text)] { dialogs_.showMessage(copy); });
}

void WindowFrontEnd::showMessageBox(std::string_view text, std::string_view caption,
                                    MessageKind kind) {
    onWindowThread([this, textCopy = std::string(text), captionCopy = std::string(caption), kind] {
        dialogs_.showMessageBox(textCopy, captionCopy, kind);
    });
}

void WindowFrontEnd::showBusy() {
    onWindowThread([this] {
        busyPanel_->setVisible(true);
        busyPanel_->repaint();
    });
}

void WindowFrontEnd::hideBusy() {
    if (progress_ != nullptr) progress_->finish();
    onWindowThread([this] { busyPanel_->setVisible(false); });
}

void WindowProgress::onFolder(std::string_view folder, std::string_view name) {
    tallies_.onFolder(folder, name);
    currentFolder_.assign(folder).append(1, kPathSeparator).append(name);
    post(false);
}

void WindowProgress::onFile(const WalkedFile& file) {
    tallies_.onFile(file);
    if (file.folder != currentFolder_) currentFolder_.assign(file.folder);
    post(false);
}

void WindowProgress::onFolderPair(std::string_view folder, std::string_view name, Sides sides) {
    tallies_.onFolderPair(folder, name, sides);
    currentFolder_.assign(folder).append(1, '/').append(name);
    post(false);
}

void WindowProgress::onFilePair(const PairedFile& file) {
    tallies_.onFilePair(file);
    if (file.folder != currentFolder_) currentFolder_.assign(file.folder);
    post(false);
}

void WindowProgress::finish() { post(true); }

void WindowProgress::post(bool finished) {
    const auto time = std::chrono::steady_clock::now();
    if (!finished && time - lastShown_ < interval_) return;
    lastShown_ = time;
    ProgressFigures figures{tallies_.filesCounted + tallies_.filesNotCounted, tallies_.folders,
                            currentFolder_, finished};
    if (window_ == nullptr) return;
    QMetaObject::invokeMethod(
        window_, [show = show_, figures = std::move(figures)] { show(figures); },
        Qt::QueuedConnection);
}

}  // namespace stepcount::gui
