// What the tool's windows are made of: the window font and its sizes,
// placing a named control, the coloured folder panels, the busy panel, the
// language choices read from the language table, and the folder a window's
// folder lists start at.
#pragma once

#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QRadioButton>
#include <QString>
#include <QWidget>

#include <string>
#include <string_view>
#include <vector>

#include "counters/languages.h"
#include "runs/count_settings.h"

namespace stepcount::gui {

inline constexpr int kWindowFontPixels = 16;
inline constexpr int kHeadingPixels = 19;
inline constexpr int kBusyPixels = 21;

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

QString qtext(std::string_view text);

// The frame of the tool's windows: a title, minimise and close buttons, no
// maximise button.
inline constexpr Qt::WindowFlags kToolWindowFlags =
    Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;

// Gives a tool window its fixed size without its frame, the window font and
// the button face colour.
void styleToolWindow(QWidget* window, int width, int height);

// Opens a tool window in the middle of the screen.
void centreOnScreen(QWidget* window);

// The Japanese Gothic face the windows are drawn in.
QString windowFontFamily();
QFont sizedFont(const QFont& base, int pixels, bool bold, bool italic);
void setBackground(QWidget* control, const QColor& colour);

// A path as display text that may wrap after each separator.
QString wrappablePath(const std::string& path);

// A control of `window` with its name and place.
template <class Control>
Control* place(QWidget* window, std::string_view name, int left, int top, int width, int height) {
    auto* control = new Control(window);
    control->setObjectName(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    control->setGeometry(left, top, width, height);
    return control;
}

// A bold heading in the window's font.
QLabel* placeHeading(QWidget* window, std::string_view name, std::string_view text, int left,
                     int top, int width);

// A folder panel: bold italic text in a sunken frame on `colour`; it takes
// no focus.
CaptionPanel* placeFolderPanel(QWidget* window, std::string_view name, int left, int top,
                               int width, const QColor& colour);

// The busy panel: "処理中" in red, hidden until a run starts.
QLabel* placeBusyPanel(QWidget* window, std::string_view name, int left, int top, int width,
                       int height);

// The language choices: a radio button for each language of the table
// (rdoBtnLang1 ...), the one for several languages (rdoBtnMultiLang), and a
// check box for each language that may be counted with others (chkbLang1
// ...), one under the other from `top`.
class LanguageChoices {
public:
    LanguageChoices(QWidget* window, int top);

    // Sets the language fields of `settings` from the controls.
    void read(CountSettings& settings) const;

    QRadioButton* several() const { return several_; }
    // Every control, in the order they were placed.
    std::vector<QWidget*> controls() const;
    // The lowest point of the controls.
    int bottom() const { return bottom_; }

private:
    struct Choice {
        LanguageId language;
        QRadioButton* radio;
        QCheckBox* check;   // none for a language counted alone only
    };
    std::vector<Choice> choices_;
    QRadioButton* several_ = nullptr;
    int bottom_ = 0;
};

// The folder a window's folder lists start at: the process's current one.
std::string startFolder();

}  // namespace stepcount::gui
