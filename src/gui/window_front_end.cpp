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

void WindowFrontEnd::onWindowThread(const std::function<void()>& action) {
    if (QThread::currentThread() == window_->thread()) {
        action();
    } else {
        QMetaObject::invokeMethod(window_, action, Qt::BlockingQueuedConnection);
    }
}

void WindowFrontEnd::showMessage(std::string_view text) {
    const std::string copy(text);
    onWindowThread([&] { dialogs_.showMessage(copy); });
}

void WindowFrontEnd::showMessageBox(std::string_view text, std::string_view caption,
                                    MessageKind kind) {
    const std::string textCopy(text);
    const std::string captionCopy(caption);
    onWindowThread([&] { dialogs_.showMessageBox(textCopy, captionCopy, kind); });
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
    currentFolder_.assign(folder).append("/").append(name);
    post(false);
}

void WindowProgress::onFile(std::string_view folder, std::string_view name, const FileFacts& facts,
                            const FileCount& count) {
    tallies_.onFile(folder, name, facts, count);
    if (folder != currentFolder_) currentFolder_.assign(folder);
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
