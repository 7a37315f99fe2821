// The window that compares two versions of a tree: the folder before
// (変更前フォルダ) and after (変更後フォルダ) with their folder lists and
// drive boxes, the same language choices as the count, the result file name
// (DiffResult.csv) and its folder, the busy panel, the progress and the
// button that starts the comparison. Its result file is the same, byte for
// byte, as the command line's `--diff` writes for the same choices.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <memory>

#include "gui/folder_choosers.h"
#include "gui/window_parts.h"
#include "gui/window_run.h"
#include "runs/diff_command.h"

namespace stepcount::gui {

class DiffWindow : public QWidget {
    Q_OBJECT

public:
    // Message boxes go to `dialogs` when given, to modal dialogs otherwise.
    explicit DiffWindow(MessageDisplay* dialogs = nullptr, QWidget* parent = nullptr);
    ~DiffWindow() override;

    // The choices as the controls hold them now.
    DiffSettings currentSettings() const;
    bool runInProgress() const { return run_ && run_->inProgress(); }
    RunOutcome lastOutcome() const { return lastOutcome_; }

signals:
    // A comparison has ended and the window is ready for the next.
    void runFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // A folder panel with its drive box and folder list; the list puts its
    // folder into the panel when an entry is chosen.
    struct FolderChooser {
        CaptionPanel* panel;
        DriveComboBox* drives;
        DirectoryListBox* list;
    };
    FolderChooser placeFolderChooser(std::string_view suffix, std::string_view heading, int top,
                                     const QColor& colour);
    void compareClick();

    std::unique_ptr<LanguageChoices> languageChoices_;
    FolderChooser old_{};
    FolderChooser new_{};
    FolderChooser save_{};
    QLineEdit* edtSVFLNM = nullptr;
    QLabel* pnlExcSts = nullptr;
    QPushButton* objBtnExc = nullptr;
    QLabel* lblProgress = nullptr;

    std::unique_ptr<MessageDisplay> ownDialogs_;
    MessageDisplay* dialogs_;
    std::unique_ptr<WindowRun> run_;
    RunOutcome lastOutcome_ = RunOutcome::SettingsRefused;
};

}  // namespace stepcount::gui
