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
#include <vector>

#include "gui/folder_choosers.h"
#include "gui/window_front_end.h"
#include "report/result_file.h"
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
    // The reason of the stop that a window going away asks of its run.
    static constexpr int kStopForClosingWindow = -1;

    // Message boxes go to `dialogs` when given, to modal dialogs otherwise.
    explicit TobjFRMMain(MessageDisplay* dialogs = nullptr, QWidget* parent = nullptr);
    ~TobjFRMMain() override;

    // The choices as the controls hold them now.
    CountSettings currentSettings() const;
    bool runInProgress() const { return worker_.joinable(); }
    // How the last count command ended.
    RunOutcome lastOutcome() const { return lastOutcome_; }

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
    void finishRun(RunOutcome outcome, const std::string& failure);
    void showProgress(const ProgressFigures& figures);
    void showFailure(const std::string& message);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    // The choices of the languages, in the table's order: rdoBtnLang1 to
    // rdoBtnLang5, and chkbLang1 to chkbLang4 for those counted together.
    struct LanguageControls {
        LanguageId language;
        QRadioButton* radio;
        QCheckBox* check;   // none for a language counted alone only
    };
    std::vector<LanguageControls> languageControls_;
    QRadioButton* rdoBtnMultiLang = nullptr;
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
    std::unique_ptr<ResultFileWriter> resultFile_;
    std::thread worker_;
    RunOutcome lastOutcome_ = RunOutcome::SettingsRefused;
};

}  // namespace stepcount::gui
