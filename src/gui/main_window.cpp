#include "gui/main_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QScreen>

#include <algorithm>
#include <exception>
#include <initializer_list>

#include "counters/languages.h"
#include "platform/file_system.h"
#include "platform/stop_request.h"
#include "platform/texts.h"
#include "runs/count_runs.h"

namespace stepcount::gui {
namespace {

// The window's size without its frame.
constexpr int kClientWidth = 935;
constexpr int kClientHeight = 583;
constexpr int kWindowFontPixels = 16;
constexpr int kHeadingPixels = 19;
constexpr int kBusyPixels = 21;

// The language choices: the first radio button's top, the step from one to
// the next, and the gap before the one for several languages. The first
// five radio buttons and four check boxes keep the widths they were designed
// with; a language added since gets the widest.
constexpr int kFirstChoiceTop = 40;
constexpr int kChoiceStep = 25;
constexpr int kMultiChoiceGap = 9;
constexpr int kRadioWidths[] = {105, 161, 105, 121, 121};
constexpr int kCheckWidths[] = {113, 161, 113, 121};

template <std::size_t N>
int widthOf(const int (&widths)[N], int number) {
    return number <= static_cast<int>(N) ? widths[number - 1] : 161;
}

// The keyboard's tab order, by the controls' names.
constexpr const char* kTabOrder[] = {
    "objDirLB",    "objDrvCB",    "objPNL",          "objBtnExc", "rdoBtnLang1", "rdoBtnLang2",
    "objPNLSV",    "objDrvCBSV",  "objDirLBSV",      "pnlExcSts", "edtSVFLNM",   "rdoBtnLang3",
    "rdoBtnLang4", "rdoBtnMultiLang", "chkbLang1",   "chkbLang2", "chkbLang3",   "chkbLang4",
    "rdoBtnLang5"};

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
Control* place(QWidget* parent, std::string_view name, int left, int top, int width, int height) {
    auto* control = new Control(parent);
    control->setObjectName(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    control->setGeometry(left, top, width, height);
    return control;
}

void setBackground(QWidget* control, const QColor& colour) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, colour);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

// A path as display text that may wrap after each separator.
QString wrappablePath(const std::string& path) {
    QString text = displayText(path);
    for (const char separator : kPathSeparators) {
        text.replace(QLatin1Char(separator), QString(QLatin1Char(separator)) + QChar(0x200B));
    }
    return text;
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

// A window that goes while a count runs (the application quits, the session
// ends) stops the count: what the run waits for on the window's thread is
// given up, the run ends at its next row with the rows written so far whole,
// and the window waits for it before it goes.
TobjFRMMain::~TobjFRMMain() {
    if (!worker_.joinable()) return;
    requestStop(kStopForClosingWindow);
    frontEnd_->abandon();
    worker_.join();
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
    auto radio = [&](const std::string& name, std::string_view text, int left, int top, int width) {
        auto* control = place<QRadioButton>(this, name, left, top, width, 25);
        control->setText(qtext(text));
        return control;
    };
    auto check = [&](const std::string& name, std::string_view text, int top, int width) {
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
    // A radio button for each language, then the one for several languages,
    // then a check box for each language that may be counted with others.
    int top = kFirstChoiceTop;
    int radios = 0;
    for (const Language& language : languages()) {
        const std::string name = "rdoBtnLang" + std::to_string(++radios);
        languageControls_.push_back(
            {language.id, radio(name, language.caption, 8, top, widthOf(kRadioWidths, radios)),
             nullptr});
        top += kChoiceStep;
    }
    top += kMultiChoiceGap;
    rdoBtnMultiLang = radio("rdoBtnMultiLang", texts::kMultiLanguageChoice, 0, top, 105);
    rdoBtnMultiLang->setFont(sizedFont(windowFont, kWindowFontPixels, true, false));
    int checks = 0;
    for (LanguageControls& controls : languageControls_) {
        const Language& language = languageOf(controls.language);
        if (language.severalBit == 0) continue;
        top += kChoiceStep;
        const std::string name = "chkbLang" + std::to_string(++checks);
        controls.check = check(name, language.caption, top, widthOf(kCheckWidths, checks));
    }

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
    const std::string start = currentFolder();
    for (DirectoryListBox* list : {objDirLB, objDirLBSV}) list->setDirectory(start);
    objDrvCB->setDirList(objDirLB);
    objDrvCBSV->setDirList(objDirLBSV);

    // The keyboard's tab order, then the choices of languages added since.
    std::vector<QWidget*> tabOrder;
    for (const char* name : kTabOrder) {
        if (auto* control = findChild<QWidget*>(QString::fromLatin1(name))) tabOrder.push_back(control);
    }
    for (const LanguageControls& controls : languageControls_) {
        for (QWidget* control : {static_cast<QWidget*>(controls.radio), static_cast<QWidget*>(controls.check)}) {
            if (control != nullptr && std::find(tabOrder.begin(), tabOrder.end(), control) == tabOrder.end()) {
                tabOrder.push_back(control);
            }
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
    for (const LanguageControls& controls : languageControls_) {
        const LanguageChoice& choice = choiceOf(controls.language);
        settings.*choice.alone = controls.radio->isChecked();
        if (controls.check != nullptr) settings.*choice.together = controls.check->isChecked();
    }
    settings.MultiSelected = rdoBtnMultiLang->isChecked();
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
        resultFile_ = std::make_unique<ResultFileWriter>(resultPath(settings), settings.Encoding);
        frontEnd_->setProgress(progress_.get());
        lblProgress->clear();
        objBtnExc->setEnabled(false);
        worker_ = std::thread([this, settings] {
            RunOutcome outcome = RunOutcome::SettingsRefused;
            std::string failure;
            try {
                outcome = runCountCommand(settings, *frontEnd_, {resultFile_.get(), progress_.get()});
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

void TobjFRMMain::finishRun(RunOutcome outcome, const std::string& failure) {
    if (worker_.joinable()) worker_.join();
    lastOutcome_ = outcome;
    frontEnd_->setProgress(nullptr);
    if (outcome == RunOutcome::SettingsRefused) lblProgress->clear();
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
