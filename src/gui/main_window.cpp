#include "gui/main_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QScreen>

#include <exception>
#include <filesystem>
#include <initializer_list>
#include <system_error>

#include "platform/texts.h"

namespace stepcount::gui {
namespace {

// The window's size without its frame.
constexpr int kClientWidth = 935;
constexpr int kClientHeight = 583;
constexpr int kWindowFontPixels = 16;
constexpr int kHeadingPixels = 19;
constexpr int kBusyPixels = 21;

QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The Japanese Gothic face the window is drawn in: the one the tool was
// designed with when it is installed, otherwise the first installed of its
// usual stand-ins.
QString windowFontFamily() {
    const QStringList installed = QFontDatabase::families();
    for (const char* family : {"ＭＳ ゴシック", "MS Gothic", "IPAGothic", "IPAexGothic",
                               "Noto Sans CJK JP", "Noto Sans Mono CJK JP", "VL Gothic",
                               "TakaoGothic"}) {
        const QString name = QString::fromUtf8(family);
        if (installed.contains(name, Qt::CaseInsensitive)) return name;
    }
    return QFont().family();
}

QFont sizedFont(const QFont& base, int pixels, bool bold, bool italic) {
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

template <class Control>
Control* place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* control = new Control(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    return control;
}

void setBackground(QWidget* control, const QColor& colour) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, colour);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

// A path as display text that may wrap after each "/".
QString wrappablePath(const std::string& path) {
    return displayText(path).replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
}

}  // namespace

void CaptionPanel::setCaption(const std::string& caption) {
    caption_ = caption;
    setText(displayText(caption));
}

TobjFRMMain::TobjFRMMain(MessageDisplay* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      ownDialogs_(dialogs == nullptr ? std::make_unique<DialogDisplay>(this) : nullptr),
      dialogs_(dialogs == nullptr ? ownDialogs_.get() : dialogs) {
    setObjectName(QStringLiteral("objFRMMain"));
    setWindowTitle(qtext(texts::kToolName));
    setFixedSize(kClientWidth, kClientHeight);
    setFont(sizedFont(QFont(windowFontFamily()), kWindowFontPixels, false, false));
    setBackground(this, palette().color(QPalette::Button));
    createControls();
    frontEnd_ = std::make_unique<WindowFrontEnd>(this, *dialogs_, pnlExcSts);
    FormCreate();

    connect(objDirLB, &DirectoryListBox::changed, this, &TobjFRMMain::objDirLBChange);
    connect(objDirLBSV, &DirectoryListBox::changed, this, &TobjFRMMain::objDirLBSVChange);
    connect(objBtnExc, &QPushButton::clicked, this, &TobjFRMMain::objBtnExcClick);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

TobjFRMMain::~TobjFRMMain() {
    if (worker_.joinable()) worker_.join();
}

void TobjFRMMain::createControls() {
    const QFont windowFont = font();
    const QFont heading = sizedFont(windowFont, kHeadingPixels, true, false);
    auto label = [&](const char* name, std::string_view text, int left, int top, int width) {
        QLabel* control = place<QLabel>(this, name, left, top, width, kHeadingPixels);
        control->setText(qtext(text));
        control->setFont(heading);
        return control;
    };
    auto radio = [&](const char* name, std::string_view text, int left, int top, int width) {
        auto* control = place<QRadioButton>(this, name, left, top, width, 25);
        control->setText(qtext(text));
        return control;
    };
    auto check = [&](const char* name, std::string_view text, int top, int width) {
        auto* control = place<QCheckBox>(this, name, 8, top, width, 25);
        control->setText(qtext(text));
        return control;
    };
    auto folderPanel = [&](const char* name, int top, const QColor& colour) {
        auto* control = place<CaptionPanel>(this, name, 176, top, 737, 33);
        control->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        control->setLineWidth(2);
        control->setIndent(6);
        control->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        control->setFont(sizedFont(windowFont, kWindowFontPixels, true, true));
        control->setFocusPolicy(Qt::NoFocus);
        setBackground(control, colour);
        return control;
    };

    Label2 = label("Label2", texts::kLanguageHeading, 8, 16, 42);
    rdoBtnLang1 = radio("rdoBtnLang1", texts::kVBLanguage, 8, 40, 105);
    rdoBtnLang2 = radio("rdoBtnLang2", texts::kVCLanguage, 8, 65, 161);
    rdoBtnLang3 = radio("rdoBtnLang3", texts::kSQLLanguage, 8, 90, 105);
    rdoBtnLang4 = radio("rdoBtnLang4", texts::kHTMLLanguage, 8, 115, 121);
    rdoBtnLang5 = radio("rdoBtnLang5", texts::kCOBOLLanguage, 8, 140, 121);
    rdoBtnMultiLang = radio("rdoBtnMultiLang", texts::kMultiLanguageChoice, 0, 174, 105);
    rdoBtnMultiLang->setFont(sizedFont(windowFont, kWindowFontPixels, true, false));
    chkbLang1 = check("chkbLang1", texts::kVBLanguage, 199, 113);
    chkbLang2 = check("chkbLang2", texts::kVCLanguage, 224, 161);
    chkbLang3 = check("chkbLang3", texts::kSQLLanguage, 249, 113);
    chkbLang4 = check("chkbLang4", texts::kHTMLLanguage, 274, 121);

    Label1 = label("Label1", texts::kCountFolderHeading, 176, 16, 210);
    objPNL = folderPanel("objPNL", 40, palette().color(QPalette::ToolTipBase));
    objDrvCB = place<DriveComboBox>(this, "objDrvCB", 176, 72, 169, 22);
    objDirLB = place<DirectoryListBox>(this, "objDirLB", 344, 72, 569, 201);

    Label4 = label("Label4", texts::kResultFileNameHeading, 176, 288, 231);
    edtSVFLNM = place<QLineEdit>(this, "edtSVFLNM", 416, 288, 180, 27);
    edtSVFLNM->setFont(sizedFont(windowFont, kHeadingPixels, false, false));
    Label3 = label("Label3", texts::kSaveFolderHeading, 176, 312, 231);
    objPNLSV = folderPanel("objPNLSV", 336, QColor(0, 255, 255));
    objDrvCBSV = place<DriveComboBox>(this, "objDrvCBSV", 176, 368, 169, 22);
    objDirLBSV = place<DirectoryListBox>(this, "objDirLBSV", 344, 368, 569, 201);

    pnlExcSts = place<QLabel>(this, "pnlExcSts", 696, 0, 105, 41);
    pnlExcSts->setText(qtext(texts::kBusy));
    pnlExcSts->setAlignment(Qt::AlignCenter);
    pnlExcSts->setFrameStyle(QFrame::Box | QFrame::Sunken);
    pnlExcSts->setFont(sizedFont(windowFont, kBusyPixels, true, true));
    pnlExcSts->setFocusPolicy(Qt::NoFocus);
    {
        QPalette busyPalette = pnlExcSts->palette();
        busyPalette.setColor(QPalette::WindowText, Qt::red);
        pnlExcSts->setPalette(busyPalette);
        setBackground(pnlExcSts, palette().color(QPalette::HighlightedText));
    }
    pnlExcSts->setVisible(false);
    objBtnExc = place<QPushButton>(this, "objBtnExc", 808, 0, 105, 40);
    objBtnExc->setText(qtext(texts::kCountButton));

    lblProgress = place<QLabel>(this, "lblProgress", 8, 336, 161, 233);
    lblProgress->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblProgress->setWordWrap(true);

    // Both folder lists start at the process's current folder.
    std::error_code error;
    const std::string start = std::filesystem::current_path(error).native();
    for (DirectoryListBox* list : {objDirLB, objDirLBSV}) list->setDirectory(error ? "/" : start);
    objDrvCB->setDirList(objDirLB);
    objDrvCBSV->setDirList(objDirLBSV);

    // The keyboard's tab order.
    const std::initializer_list<QWidget*> tabOrder = {
        objDirLB,    objDrvCB,    objPNL,      objBtnExc,   rdoBtnLang1, rdoBtnLang2,
        objPNLSV,    objDrvCBSV,  objDirLBSV,  pnlExcSts,   edtSVFLNM,   rdoBtnLang3,
        rdoBtnLang4, rdoBtnMultiLang, chkbLang1, chkbLang2, chkbLang3,   chkbLang4,
        rdoBtnLang5};
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
    settings.VBSelected = rdoBtnLang1->isChecked();
    settings.VCSelected = rdoBtnLang2->isChecked();
    settings.SQLSelected = rdoBtnLang3->isChecked();
    settings.HTMLSelected = rdoBtnLang4->isChecked();
    settings.COBOLSelected = rdoBtnLang5->isChecked();
    settings.MultiSelected = rdoBtnMultiLang->isChecked();
    settings.MultiVB = chkbLang1->isChecked();
    settings.MultiVC = chkbLang2->isChecked();
    settings.MultiSQL = chkbLang3->isChecked();
    settings.MultiHTML = chkbLang4->isChecked();
    const QByteArray caption = windowTitle().toUtf8();
    settings.MessageCaption.assign(caption.constData(), static_cast<std::size_t>(caption.size()));
    return settings;
}

// Starts the count command on a worker thread, so that the window keeps
// repainting; the button stays disabled until it has ended.
void TobjFRMMain::objBtnExcClick() {
    if (runInProgress()) return;
    try {
        const CountSettings settings = currentSettings();
        progress_ = std::make_unique<WindowProgress>(
            this, [this](const ProgressFigures& figures) { showProgress(figures); });
        frontEnd_->setProgress(progress_.get());
        lblProgress->clear();
        objBtnExc->setEnabled(false);
        worker_ = std::thread([this, settings] {
            CountOutcome outcome = CountOutcome::SettingsRefused;
            std::string failure;
            try {
                outcome = runCountCommand(settings, *frontEnd_, progress_.get());
            } catch (const std::exception& error) {
                failure = error.what();
            }
            QMetaObject::invokeMethod(
                this, [this, outcome, failure] { finishRun(outcome, failure); },
                Qt::QueuedConnection);
        });
    } catch (const std::exception& error) {
        objBtnExc->setEnabled(true);
        showFailure(error.what());
    }
}

void TobjFRMMain::finishRun(CountOutcome outcome, const std::string& failure) {
    if (worker_.joinable()) worker_.join();
    lastOutcome_ = outcome;
    frontEnd_->setProgress(nullptr);
    if (outcome == CountOutcome::SettingsRefused) lblProgress->clear();
    objBtnExc->setEnabled(true);
    if (!failure.empty()) showFailure(failure);
    emit runFinished();
}

// The figures of the run; the folder being counted only while it runs.
void TobjFRMMain::showProgress(const ProgressFigures& figures) {
    QString text = qtext(texts::kProgressCounts)
                       .arg(QLocale().toString(static_cast<qulonglong>(figures.files)),
                            QLocale().toString(static_cast<qulonglong>(figures.folders)));
    if (!figures.finished && !figures.currentFolder.empty()) {
        text += qtext(texts::kProgressFolder).arg(wrappablePath(figures.currentFolder));
    }
    lblProgress->setText(text);
}

void TobjFRMMain::showFailure(const std::string& message) {
    dialogs_->showMessageBox(message, windowTitle().toUtf8().toStdString(), MessageKind::Failure);
}

// The window cannot be closed while a run goes on, as a run cannot be
// abandoned half way through its result file.
void TobjFRMMain::closeEvent(QCloseEvent* event) {
    if (runInProgress()) {
        event->ignore();
    } else {
        event->accept();
    }
}

}  // namespace stepcount::gui
