// The main window: the language choices, the count folder and the save
// folder with their folder lists and drive boxes, the result file name, the
// busy panel and the count button. Every choice lives in a control and is
// read when the count button is pressed; the folders are read from the two
// panels, which a folder list fills when its current folder changes.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <memory>
#include <string>
#include <thread>

#include "gui/folder_choosers.h"
#include "gui/window_front_end.h"
#include "runs/count_command.h"
#include "runs/count_settings.h"

namespace stepcount::gui {

// A panel whose caption is a path, kept as the file system's bytes and shown
// as text.
class CaptionPanel : public QLabel {
    Q_OBJECT

public:
    explicit CaptionPanel(QWidget* parent = nullptr) : QLabel(parent) {}
    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& caption);

private:
    std::string caption_;
};

class TobjFRMMain : public QWidget {
    Q_OBJECT

public:
    // Message boxes go to `dialogs` when given, to modal dialogs otherwise.
    explicit TobjFRMMain(MessageDisplay* dialogs = nullptr, QWidget* parent = nullptr);
    ~TobjFRMMain() override;

    // The choices as the controls hold them now.
    CountSettings currentSettings() const;
    bool runInProgress() const { return worker_.joinable(); }
    // How the last count command ended.
    CountOutcome lastOutcome() const { return lastOutcome_; }

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
    void finishRun(CountOutcome outcome, const std::string& failure);
    void showProgress(const ProgressFigures& figures);
    void showFailure(const std::string& message);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QRadioButton* rdoBtnLang1 = nullptr;
    QRadioButton* rdoBtnLang2 = nullptr;
    QRadioButton* rdoBtnLang3 = nullptr;
    QRadioButton* rdoBtnLang4 = nullptr;
    QRadioButton* rdoBtnLang5 = nullptr;
    QRadioButton* rdoBtnMultiLang = nullptr;
    QCheckBox* chkbLang1 = nullptr;
    QCheckBox* chkbLang2 = nullptr;
    QCheckBox* chkbLang3 = nullptr;
    QCheckBox* chkbLang4 = nullptr;
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

    std::unique_ptr<MessageDisplay> ownDialogs_;
    MessageDisplay* dialogs_;
    std::unique_ptr<WindowFrontEnd> frontEnd_;
    std::unique_ptr<WindowProgress> progress_;
    std::thread worker_;
    CountOutcome lastOutcome_ = CountOutcome::SettingsRefused;
};

}  // namespace stepcount::gui
