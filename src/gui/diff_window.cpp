#include "gui/diff_window.h"

#include <QCloseEvent>

#include "platform/texts.h"
#include "report/diff_result_file.h"
#include "runs/count_runs.h"

namespace stepcount::gui {

namespace {

constexpr int kClientWidth = 935;
constexpr int kClientHeight = 600;
constexpr int kListHeight = 121;

}  // namespace

DiffWindow::DiffWindow(MessageDisplay* dialogs, QWidget* parent)
    : QWidget(parent, kToolWindowFlags),
      ownDialogs_(dialogs == nullptr ? std::make_unique<DialogDisplay>(this) : nullptr),
      dialogs_(dialogs == nullptr ? ownDialogs_.get() : dialogs) {
    setObjectName(QStringLiteral("objFRMDiff"));
    setWindowTitle(qtext(texts::kWindowCaption) + QLatin1Char(' ') + qtext(texts::kDiffWindowTitle));
    styleToolWindow(this, kClientWidth, kClientHeight);

    placeHeading(this, "Label2", texts::kLanguageHeading, 8, 16, 42);
    languageChoices_ = std::make_unique<LanguageChoices>(this, 40);
    old_ = placeFolderChooser("Old", texts::kOldFolderHeading, 16, palette().color(QPalette::ToolTipBase));
    new_ = placeFolderChooser("New", texts::kNewFolderHeading, 200, palette().color(QPalette::ToolTipBase));
    placeHeading(this, "Label4", texts::kResultFileNameHeading, 176, 392, 231);
    edtSVFLNM = place<QLineEdit>(this, "edtSVFLNM", 416, 388, 180, 27);
    edtSVFLNM->setFont(sizedFont(font(), kHeadingPixels, false, false));
    edtSVFLNM->setText(qtext(texts::kDefaultDiffResultFileName));
    save_ = placeFolderChooser("SV", texts::kSaveFolderHeading, 416, QColor(0, 255, 255));

    pnlExcSts = placeBusyPanel(this, "pnlExcSts", 672, 0, 105, 41);
    objBtnExc = place<QPushButton>(this, "objBtnExc", 784, 0, 129, 40);
    objBtnExc->setText(qtext(texts::kDiffButton));
    lblProgress = place<QLabel>(this, "lblProgress", 8, languageChoices_->bottom() + 12, 161,
                                kClientHeight - languageChoices_->bottom() - 20);
    lblProgress->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblProgress->setWordWrap(true);

    run_ = std::make_unique<WindowRun>(this, *dialogs_, pnlExcSts, lblProgress, objBtnExc,
                                       [this](RunOutcome outcome) {
                                           lastOutcome_ = outcome;
                                           emit runFinished();
                                       });
    connect(objBtnExc, &QPushButton::clicked, this, &DiffWindow::compareClick);
    old_.list->setFocus();
    centreOnScreen(this);
}

DiffWindow::~DiffWindow() = default;

DiffWindow::FolderChooser DiffWindow::placeFolderChooser(std::string_view suffix,
                                                         std::string_view heading, int top,
                                                         const QColor& colour) {
    auto named = [&](const char* prefix) { return std::string(prefix) + std::string(suffix); };
    placeHeading(this, named("lblHeading"), heading, 176, top, 231);
    FolderChooser chooser{
        placeFolderPanel(this, named("objPNL"), 176, top + 24, 737, colour),
        place<DriveComboBox>(this, named("objDrvCB"), 176, top + 56, 169, 22),
        place<DirectoryListBox>(this, named("objDirLB"), 344, top + 56, 569, kListHeight)};
    chooser.list->setDirectory(startFolder());
    chooser.drives->setDirList(chooser.list);
    connect(chooser.list, &DirectoryListBox::changed, this, [chooser] {
        if (chooser.list->itemIndex() < 0) return;
        chooser.panel->setCaption(chooser.list->currentFolder());
        chooser.panel->repaint();
    });
    return chooser;
}

DiffSettings DiffWindow::currentSettings() const {
    DiffSettings settings;
    settings.OldFolder = old_.panel->caption();
    settings.NewFolder = new_.panel->caption();
    CountSettings& choices = settings.choices;
    choices.SaveFolder = save_.panel->caption();
    choices.ResultFileName = fileSystemBytes(edtSVFLNM->text());
    languageChoices_->read(choices);
    const QByteArray caption = windowTitle().toUtf8();
    choices.MessageCaption.assign(caption.constData(), static_cast<std::size_t>(caption.size()));
    return settings;
}

void DiffWindow::compareClick() {
    run_->start([settings = currentSettings()](RunFrontEnd& frontEnd, WalkObserver& progress) {
        DiffResultFileWriter resultFile(resultPath(settings.choices), settings.choices.Encoding);
        return runDiffCommand(settings, frontEnd, {&resultFile, &progress});
    });
}

// The window cannot be closed while its comparison goes on.
void DiffWindow::closeEvent(QCloseEvent* event) {
    if (runInProgress()) {
        event->ignore();
    } else {
        event->accept();
    }
}

}  // namespace stepcount::gui
