// The main window: the language choices, the count folder and the save
// folder with their folder lists and drive boxes, the result file name, the
// busy panel and the count button. Every choice lives in a control and is
// read when the count button is pressed; the folders are read from the two
// panels, which a folder list fills when its current folder changes. A
// button opens the window that compares two versions of a tree.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <memory>
#include <string>

#include "gui/folder_choosers.h"
#include "gui/window_parts.h"
#include "gui/window_run.h"
#include "runs/count_command.h"
#include "runs/count_settings.h"

namespace stepcount::gui {

class DiffWindow;

class TobjFRMMain : public QWidget {
    Q_OBJECT

public:
    // The reason of the stop that a window going away asks of its run.
    static constexpr int kStopForClosingWindow = WindowRun::kStopForClosingWindow;

    // Message boxes go to `dialogs` when given, to modal dialogs otherwise.
    explicit TobjFRMMain(MessageDisplay* dialogs = nullptr, QWidget* parent = nullptr);
    ~TobjFRMMain() override;

    // The choices as the controls hold them now.
    CountSettings currentSettings() const;
    bool runInProgress() const { return run_ && run_->inProgress(); }
    // How the last count command ended.
    RunOutcome lastOutcome() const { return lastOutcome_; }
    // The window that compares versions, once opened.
    DiffWindow* diffWindow() const { return diffWindow_.get(); }

signals:
    // A count command has ended and the window is ready for the next.
    void runFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void FormCreate();
    void objDirLBChange();
    void objDirLBSVChange();
    void objBtnExcClick();
    void openDiffWindow();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    // rdoBtnLang1 to rdoBtnLang5, rdoBtnMultiLang, chkbLang1 to chkbLang4.
    std::unique_ptr<LanguageChoices> languageChoices_;
    CaptionPanel* objPNL = nullptr;
    DriveComboBox* objDrvCB = nullptr;
    DirectoryListBox* objDirLB = nullptr;
    QLineEdit* edtSVFLNM = nullptr;
    CaptionPanel* objPNLSV = nullptr;
    DriveComboBox* objDrvCBSV = nullptr;
    DirectoryListBox* objDirLBSV = nullptr;
    QLabel* pnlExcSts = nullptr;
    QPushButton* objBtnExc = nullptr;
    QLabel* lblProgress = nullptr;
    QPushButton* btnDiff = nullptr;

    std::unique_ptr<MessageDisplay> ownDialogs_;
    MessageDisplay* dialogs_;
    std::unique_ptr<WindowRun> run_;
    RunOutcome lastOutcome_ = RunOutcome::SettingsRefused;
    std::unique_ptr<DiffWindow> diffWindow_;
};

}  // namespace stepcount::gui
