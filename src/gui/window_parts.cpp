#include "gui/window_parts.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>


#include "gui/folder_choosers.h"
#include "platform/file_system.h"
#include "platform/texts.h"

namespace stepcount::gui {

namespace {

// The language choices: the step from one to the next and the gap before
// the one for several languages. The first five radio buttons and four
// check boxes keep the widths they were designed with; a language added
// since gets the widest.
constexpr int kChoiceStep = 25;
constexpr int kMultiChoiceGap = 9;
constexpr int kRadioWidths[] = {105, 161, 105, 121, 121};
constexpr int kCheckWidths[] = {113, 161, 113, 121};

template <std::size_t N>
int widthOf(const int (&widths)[N], int number) {
    return number <= static_cast<int>(N) ? widths[number - 1] : 161;
}

}  // namespace

void CaptionPanel::setCaption(const std::string& caption) {
    caption_ = caption;
    setText(displayText(caption));
}

QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The one the tool was designed with when it is installed, otherwise the
// first installed of its usual stand-ins.
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

void styleToolWindow(QWidget* window, int width, int height) {
    window->setFixedSize(width, height);
    window->setFont(sizedFont(QFont(windowFontFamily()), kWindowFontPixels, false, false));
    setBackground(window, window->palette().color(QPalette::Button));
}

void centreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        window->move(screen->availableGeometry().center() - window->rect().center());
    }
}

QFont sizedFont(const QFont& base, int pixels, bool bold, bool italic) {
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

void setBackground(QWidget* control, const QColor& colour) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, colour);
    control->setPalette(palette);
    control->setAutoFillBackground(true);
}

QString wrappablePath(const std::string& path) {
    return displayText(path).replace(QLatin1Char(kPathSeparator),
                                     QString(QLatin1Char(kPathSeparator)) + QChar(0x200B));
}

QLabel* placeHeading(QWidget* window, std::string_view name, std::string_view text, int left,
                     int top, int width) {
    QLabel* control = place<QLabel>(window, name, left, top, width, kHeadingPixels);
    control->setText(qtext(text));
    control->setFont(sizedFont(window->font(), kHeadingPixels, true, false));
    return control;
}

CaptionPanel* placeFolderPanel(QWidget* window, std::string_view name, int left, int top,
                               int width, const QColor& colour) {
    auto* control = place<CaptionPanel>(window, name, left, top, width, 33);
    control->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    control->setLineWidth(2);
    control->setIndent(6);
    control->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    control->setFont(sizedFont(window->font(), kWindowFontPixels, true, true));
    control->setFocusPolicy(Qt::NoFocus);
    setBackground(control, colour);
    return control;
}

QLabel* placeBusyPanel(QWidget* window, std::string_view name, int left, int top, int width,
                       int height) {
    QLabel* panel = place<QLabel>(window, name, left, top, width, height);
    panel->setText(qtext(texts::kBusy));
    panel->setAlignment(Qt::AlignCenter);
    panel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    panel->setFont(sizedFont(window->font(), kBusyPixels, true, true));
    panel->setFocusPolicy(Qt::NoFocus);
    QPalette busyPalette = panel->palette();
    busyPalette.setColor(QPalette::WindowText, Qt::red);
    panel->setPalette(busyPalette);
    setBackground(panel, window->palette().color(QPalette::HighlightedText));
    panel->setVisible(false);
    return panel;
}

LanguageChoices::LanguageChoices(QWidget* window, int top) {
    auto button = [&](auto* control, std::string_view text) {
        control->setText(qtext(text));
        return control;
    };
    int radios = 0;
    for (const Language& language : languages()) {
        const std::string name = "rdoBtnLang" + std::to_string(++radios);
        auto* radio = place<QRadioButton>(window, name, 8, top, widthOf(kRadioWidths, radios), 25);
        choices_.push_back({language.id, button(radio, language.caption), nullptr});
        top += kChoiceStep;
    }
    top += kMultiChoiceGap;
    several_ = button(place<QRadioButton>(window, "rdoBtnMultiLang", 0, top, 105, 25),
                      texts::kMultiLanguageChoice);
    several_->setFont(sizedFont(window->font(), kWindowFontPixels, true, false));
    int checks = 0;
    for (Choice& choice : choices_) {
        const Language& language = languageOf(choice.language);
        if (language.severalBit == 0) continue;
        top += kChoiceStep;
        const std::string name = "chkbLang" + std::to_string(++checks);
        choice.check = button(place<QCheckBox>(window, name, 8, top, widthOf(kCheckWidths, checks), 25),
                              language.caption);
    }
    bottom_ = top + 25;
}

void LanguageChoices::read(CountSettings& settings) const {
    for (const Choice& choice : choices_) {
        const LanguageChoice& fields = choiceOf(choice.language);
        settings.*fields.alone = choice.radio->isChecked();
        if (choice.check != nullptr) settings.*fields.together = choice.check->isChecked();
    }
    settings.MultiSelected = several_->isChecked();
}

std::vector<QWidget*> LanguageChoices::controls() const {
    std::vector<QWidget*> all;
    for (const Choice& choice : choices_) all.push_back(choice.radio);
    all.push_back(several_);
    for (const Choice& choice : choices_) {
        if (choice.check != nullptr) all.push_back(choice.check);
    }
    return all;
}

std::string startFolder() { return currentFolder(); }

}  // namespace stepcount::gui
