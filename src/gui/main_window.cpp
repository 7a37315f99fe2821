#include "gui/main_window.h"

#include <QCloseEvent>

#include <algorithm>

#include "gui/diff_window.h"
#include "platform/texts.h"
#include "report/result_file.h"
#include "runs/count_runs.h"

namespace stepcount::gui {
namespace {

// The window's size without its frame.
constexpr int kClientWidth = 935;
constexpr int kClientHeight = 583;

// The keyboard's tab order, by the controls' names.
constexpr const char* kTabOrder[] = {
    "objDirLB",    "objDrvCB",    "objPNL",          "objBtnExc", "rdoBtnLang1", "rdoBtnLang2",
    "objPNLSV",    "objDrvCBSV",  "objDirLBSV",      "pnlExcSts", "edtSVFLNM",   "rdoBtnLang3",
    "rdoBtnLang4", "rdoBtnMultiLang", "chkbLang1",   "chkbLang2", "chkbLang3",   "chkbLang4",
    "rdoBtnLang5", "btnDiff"};

}  // namespace

TobjFRMMain::TobjFRMMain(MessageDisplay* dialogs, QWidget* parent)
    : QWidget(parent, kToolWindowFlags),
      ownDialogs_(dialogs == nullptr ? std::make_unique<DialogDisplay>(this) : nullptr),
      dialogs_(dialogs == nullptr ? ownDialogs_.get() : dialogs) {
    setObjectName(QStringLiteral("objFRMMain"));
    setWindowTitle(qtext(texts::kToolName));
    styleToolWindow(this, kClientWidth, kClientHeight);
    createControls();
    run_ = std::make_unique<WindowRun>(this, *dialogs_, pnlExcSts, lblProgress, objBtnExc,
                                       [this](RunOutcome outcome) {
                                           lastOutcome_ = outcome;
                                           emit runFinished();
                                       });
    FormCreate();

    connect(objDirLB, &DirectoryListBox::changed, this, &TobjFRMMain::objDirLBChange);
    connect(objDirLBSV, &DirectoryListBox::changed, this, &TobjFRMMain::objDirLBSVChange);
    connect(objBtnExc, &QPushButton::clicked, this, &TobjFRMMain::objBtnExcClick);
    connect(btnDiff, &QPushButton::clicked, this, &TobjFRMMain::openDiffWindow);

    centreOnScreen(this);
}

TobjFRMMain::~TobjFRMMain() = default;

void TobjFRMMain::createControls() {
    Label2 = placeHeading(this, "Label2", texts::kLanguageHeading, 8, 16, 42);
    languageChoices_ = std::make_unique<LanguageChoices>(this, 40);

    Label1 = placeHeading(this, "Label1", texts::kCountFolderHeading, 176, 16, 210);
    objPNL = placeFolderPanel(this, "objPNL", 176, 40, 737, palette().color(QPalette::ToolTipBase));
    objDrvCB = place<DriveComboBox>(this, "objDrvCB", 176, 72, 169, 22);
    objDirLB = place<DirectoryListBox>(this, "objDirLB", 344, 72, 569, 201);

    Label4 = placeHeading(this, "Label4", texts::kResultFileNameHeading, 176, 288, 231);
    edtSVFLNM = place<QLineEdit>(this, "edtSVFLNM", 416, 288, 180, 27);
    edtSVFLNM->setFont(sizedFont(font(), kHeadingPixels, false, false));
    Label3 = placeHeading(this, "Label3", texts::kSaveFolderHeading, 176, 312, 231);
    objPNLSV = placeFolderPanel(this, "objPNLSV", 176, 336, 737, QColor(0, 255, 255));
    objDrvCBSV = place<DriveComboBox>(this, "objDrvCBSV", 176, 368, 169, 22);
    objDirLBSV = place<DirectoryListBox>(this, "objDirLBSV", 344, 368, 569, 201);

    pnlExcSts = placeBusyPanel(this, "pnlExcSts", 696, 0, 105, 41);
    objBtnExc = place<QPushButton>(this, "objBtnExc", 808, 0, 105, 40);
    objBtnExc->setText(qtext(texts::kCountButton));

    btnDiff = place<QPushButton>(this, "btnDiff", 8, languageChoices_->bottom() + 3, 161, 28);
    btnDiff->setText(qtext(texts::kDiffModeButton));
    lblProgress = place<QLabel>(this, "lblProgress", 8, 336, 161, 233);
    lblProgress->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblProgress->setWordWrap(true);

    // Both folder lists start at the process's current folder.
    const std::string start = startFolder();
    for (DirectoryListBox* list : {objDirLB, objDirLBSV}) list->setDirectory(start);
    objDrvCB->setDirList(objDirLB);
    objDrvCBSV->setDirList(objDirLBSV);

    // The keyboard's tab order, then the choices of languages added since.
    std::vector<QWidget*> tabOrder;
    for (const char* name : kTabOrder) {
        if (auto* control = findChild<QWidget*>(QString::fromLatin1(name))) tabOrder.push_back(control);
    }
    for (QWidget* control : languageChoices_->controls()) {
        if (std::find(tabOrder.begin(), tabOrder.end(), control) == tabOrder.end()) {
            tabOrder.push_back(control);
        }
    }
    QWidget* previous = nullptr;
    for (QWidget* control : tabOrder) {
        if (control->focusPolicy() == Qt::NoFocus) continue;   // the panels take no focus
        if (previous != nullptr) setTabOrder(previous, control);
        previous = control;
    }
    objDirLB->setFocus();
}

void TobjFRMMain::FormCreate() {
    edtSVFLNM->setText(qtext(texts::kDefaultResultFileName));
    setWindowTitle(windowTitle() + QLatin1Char(' ') + qtext(texts::kVersion));
}

void TobjFRMMain::objDirLBChange() {
    if (objDirLB->itemIndex() < 0) return;
    objPNL->setCaption(objDirLB->currentFolder());
    objPNL->repaint();
}

void TobjFRMMain::objDirLBSVChange() {
    if (objDirLBSV->itemIndex() < 0) return;
    objPNLSV->setCaption(objDirLBSV->currentFolder());
    objPNLSV->repaint();
}

CountSettings TobjFRMMain::currentSettings() const {
    CountSettings settings;
    settings.CountFolder = objPNL->caption();
    settings.SaveFolder = objPNLSV->caption();
    settings.ResultFileName = fileSystemBytes(edtSVFLNM->text());
    languageChoices_->read(settings);
    const QByteArray caption = windowTitle().toUtf8();
    settings.MessageCaption.assign(caption.constData(), static_cast<std::size_t>(caption.size()));
    return settings;
}

// Starts the count command on a worker thread, so that the window keeps
// repainting; the button stays disabled until it has ended.
void TobjFRMMain::objBtnExcClick() {
    run_->start([settings = currentSettings()](RunFrontEnd& frontEnd, WalkObserver& progress) {
        ResultFileWriter resultFile(resultPath(settings), settings.Encoding);
        return runCountCommand(settings, frontEnd, {&resultFile, &progress});
    });
}

void TobjFRMMain::openDiffWindow() {
    if (!diffWindow_) diffWindow_ = std::make_unique<DiffWindow>(dialogs_ == ownDialogs_.get() ? nullptr : dialogs_);
    diffWindow_->show();
    diffWindow_->raise();
    diffWindow_->activateWindow();
}

// The window cannot be closed while a run goes on, as a run cannot be
// abandoned half way through its result file.
void TobjFRMMain::closeEvent(QCloseEvent* event) {
    const bool diffRuns = diffWindow_ && diffWindow_->runInProgress();
    if (runInProgress() || diffRuns) {
        event->ignore();
        return;
    }
    if (diffWindow_) diffWindow_->close();
    event->accept();
}

}  // namespace stepcount::gui
