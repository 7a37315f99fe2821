// The main window under test: its controls as it starts, choosing folders,
// the count command's messages, and whole counts started from its button.
#include <unistd.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <string>
#include <vector>

#include "gui/main_window.h"
#include "platform/texts.h"
#include "support/test_support.h"

namespace stepcount::gui {
namespace {

using testing::readFile;
using testing::TempDir;

const std::string kCaption = "ステップ数カウントツール Ver.1.02";

// Records the window's messages; `onDialog` and `onMessageBox` run while a
// counter's error dialog or a message box would be open.
class RecordingDialogs : public testing::RecordingFrontEnd {
public:
    void showMessage(std::string_view text) override {
        RecordingFrontEnd::showMessage(text);
        if (onDialog) onDialog();
    }
    void showMessageBox(std::string_view text, std::string_view caption, MessageKind kind) override {
        RecordingFrontEnd::showMessageBox(text, caption, kind);
        if (onMessageBox) onMessageBox();
    }
    std::function<void()> onDialog;
    std::function<void()> onMessageBox;
};

class MainWindowTest : public ::testing::Test {
protected:
    template <class Control>
    Control* control(const char* name) {
        auto* found = window.findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAbstractButton* button(const char* name) { return control<QAbstractButton>(name); }
    DirectoryListBox* list(const char* name) { return control<DirectoryListBox>(name); }
    std::string panel(const char* name) { return control<CaptionPanel>(name)->caption(); }

    // Presses the count button and waits until the command has ended.
    void count() {
        QSignalSpy finished(&window, &TobjFRMMain::runFinished);
        QTest::mouseClick(control<QPushButton>("objBtnExc"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, 20000));
        QCoreApplication::processEvents();
        EXPECT_EQ(finished.count(), 1);
    }

    void savePicture(const char* fileName) {
        EXPECT_TRUE(window.grab().toImage().save(QString::fromUtf8(STEPCOUNT_PICTURE_DIR "/") +
                                 QString::fromUtf8(fileName)));
    }

    RecordingDialogs dialogs;
    TobjFRMMain window{&dialogs};
    TempDir dir;
};

TEST_F(MainWindowTest, StartsWithItsNamedControlsAndNothingChosen) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.objectName(), "objFRMMain");
    EXPECT_EQ(window.windowTitle().toStdString(), kCaption);
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);

    // Each control by its name: its kind and its text (none for the panels,
    // which show no folder yet); no language is chosen.
    const std::string gui = "stepcount::gui::";
    const struct {
        const char* name;
        std::string kind;
        const char* text;
    } controls[] = {
        {"Label2", "QLabel", "言語"}, {"rdoBtnLang1", "QRadioButton", "VB,VBA"},
        {"rdoBtnLang2", "QRadioButton", "C,C++,Pro*C,JAVA"}, {"rdoBtnLang3", "QRadioButton", "SQL"},
        {"rdoBtnLang4", "QRadioButton", "HTML,ASP,JSP"}, {"rdoBtnLang5", "QRadioButton", "COBOL"},
        {"rdoBtnMultiLang", "QRadioButton", "複数言語"}, {"chkbLang1", "QCheckBox", "VB,VBA"},
        {"chkbLang2", "QCheckBox", "C,C++,Pro*C,JAVA"}, {"chkbLang3", "QCheckBox", "SQL"},
        {"chkbLang4", "QCheckBox", "HTML,ASP,JSP"}, {"Label1", "QLabel", "カウント対象フォルダ"},
        {"objPNL", gui + "CaptionPanel", ""}, {"objDrvCB", gui + "DriveComboBox", nullptr},
        {"objDirLB", gui + "DirectoryListBox", nullptr}, {"Label4", "QLabel", "計数結果保存ファイル名"},
        {"edtSVFLNM", "QLineEdit", "LocResult.csv"}, {"Label3", "QLabel", "計数結果保存先フォルダ"},
        {"objPNLSV", gui + "CaptionPanel", ""}, {"objDrvCBSV", gui + "DriveComboBox", nullptr},
        {"objDirLBSV", gui + "DirectoryListBox", nullptr}, {"pnlExcSts", "QLabel", "処理中"},
        {"objBtnExc", "QPushButton", "計数実行"},
    };
    for (const auto& expected : controls) {
        const QWidget* widget = control<QWidget>(expected.name);
        if (widget == nullptr) continue;
        EXPECT_TRUE(widget->inherits(expected.kind.c_str())) << expected.name;
        if (expected.text == nullptr) continue;
        QString text;
        if (auto* label = qobject_cast<const QLabel*>(widget)) text = label->text();
        if (auto* edit = qobject_cast<const QLineEdit*>(widget)) text = edit->text();
        if (auto* panelShown = qobject_cast<const CaptionPanel*>(widget)) {
            EXPECT_EQ(panelShown->caption(), expected.text) << expected.name;
        }
        if (auto* pressable = qobject_cast<const QAbstractButton*>(widget)) {
            text = pressable->text();
            EXPECT_FALSE(pressable->isChecked()) << expected.name;
        }
        EXPECT_EQ(text.toStdString(), expected.text) << expected.name;
    }
    EXPECT_FALSE(control<QWidget>("pnlExcSts")->isVisible());
    EXPECT_TRUE(control<QWidget>("objBtnExc")->isEnabled());
    // The lists already show the current folder, but nothing is chosen yet.
    EXPECT_EQ(list("objDirLB")->currentFolder(), std::filesystem::current_path().native());

    // The keyboard's tab order: each control's successor among the window's
    // focusable controls.
    const std::vector<std::string> tabOrder = {
        "objDirLB",  "objDrvCB",    "objBtnExc",       "rdoBtnLang1", "rdoBtnLang2",
        "objDrvCBSV", "objDirLBSV", "edtSVFLNM",       "rdoBtnLang3", "rdoBtnLang4",
        "rdoBtnMultiLang", "chkbLang1", "chkbLang2",   "chkbLang3",   "chkbLang4",
        "rdoBtnLang5"};
    std::vector<std::string> chain;
    QWidget* widget = control<QWidget>("objDirLB");
    for (std::size_t i = 0; i < tabOrder.size(); ++i) {
        chain.push_back(widget->objectName().toStdString());
        do widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus));
    }
    EXPECT_EQ(chain, tabOrder);

    savePicture("window-startup.png");
}

TEST_F(MainWindowTest, LanguageChoicesAreOneGroupAndTheBoxesIndependent) {
    button("rdoBtnLang3")->click();
    button("rdoBtnMultiLang")->click();
    button("chkbLang1")->click();
    button("chkbLang4")->click();
    EXPECT_FALSE(button("rdoBtnLang3")->isChecked());
    const CountSettings settings = window.currentSettings();
    EXPECT_TRUE(settings.MultiSelected);
    EXPECT_FALSE(settings.SQLSelected);
    EXPECT_TRUE(settings.MultiVB && settings.MultiHTML);
    EXPECT_FALSE(settings.MultiVC || settings.MultiSQL);
    button("rdoBtnLang5")->click();
    EXPECT_FALSE(window.currentSettings().MultiSelected);
    EXPECT_TRUE(window.currentSettings().COBOLSelected);
    EXPECT_TRUE(button("chkbLang1")->isChecked());
}

TEST_F(MainWindowTest, AFolderChosenInOneListFillsOnlyItsOwnPanel) {
    const std::string src = dir.mkdir("src");
    dir.mkdir("src/lib");
    dir.mkdir("src/Beta");
    dir.write("src/alpha.c", "x\n");
    ASSERT_EQ(::symlink("lib", dir.at("src/zlink").c_str()), 0);
    ASSERT_EQ(::symlink("alpha.c", dir.at("src/yfile").c_str()), 0);
    const std::string out = dir.mkdir("out");

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    DirectoryListBox* countList = list("objDirLB");
    countList->setDirectory(src);
    EXPECT_EQ(panel("objPNL"), src);
    EXPECT_EQ(panel("objPNLSV"), "");

    // The list shows the way down from the root, then the folders inside,
    // links to folders among them, in the walk's order; files are not listed.
    std::vector<std::string> entries;
    for (int i = 0; i < countList->count(); ++i) {
        entries.push_back(countList->item(i)->text().trimmed().toStdString());
    }
    std::vector<std::string> expected = {"/"};
    for (const auto& part : std::filesystem::path(src).relative_path()) {
        expected.push_back(part.native());
    }
    expected.insert(expected.end(), {"Beta", "lib", "zlink"});
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(countList->itemIndex(), static_cast<int>(expected.size()) - 4);

    // Opening an entry (Enter, or a double click) makes it the current folder.
    countList->setCurrentRow(countList->count() - 2);
    QTest::keyClick(countList, Qt::Key_Return);
    EXPECT_EQ(countList->currentFolder(), src + "/lib");
    EXPECT_EQ(panel("objPNL"), src + "/lib");

    list("objDirLBSV")->setDirectory(out);
    EXPECT_EQ(panel("objPNLSV"), out);
    EXPECT_EQ(panel("objPNL"), src + "/lib");

    // A change while no entry is selected leaves the panel as it was, and
    // the count reads the panels, not the lists.
    countList->setCurrentRow(-1);
    emit countList->changed();
    EXPECT_EQ(panel("objPNL"), src + "/lib");
    countList->setDirectory("/");
    EXPECT_EQ(panel("objPNL"), "/");
    EXPECT_EQ(window.currentSettings().CountFolder, "/");
    EXPECT_EQ(window.currentSettings().SaveFolder, out);

    countList->setDirectory(src);
    savePicture("window-folders-chosen.png");
}

TEST_F(MainWindowTest, AFolderNameThatIsNotUtf8ReachesTheCountAsItsBytes) {
    const std::string raw = dir.mkdir("caf\xE9");
    DirectoryListBox* countList = list("objDirLB");
    countList->setDirectory(dir.path().native());
    ASSERT_EQ(countList->count() - countList->itemIndex(), 2);
    countList->setCurrentRow(countList->count() - 1);
    QTest::keyClick(countList, Qt::Key_Return);
    EXPECT_EQ(panel("objPNL"), raw);
    EXPECT_EQ(window.currentSettings().CountFolder, raw);
}

TEST_F(MainWindowTest, ADriveChangeMovesItsListAndFillsThePanel) {
    const std::string mounted = dir.mkdir("mnt");
    dir.mkdir("mnt/deep");
    auto* drives = control<DriveComboBox>("objDrvCB");
    drives->setDrives({"/", mounted});

    drives->setCurrentIndex(1);
    EXPECT_EQ(list("objDirLB")->currentFolder(), mounted);
    EXPECT_EQ(panel("objPNL"), mounted);
    EXPECT_EQ(panel("objPNLSV"), "");

    // The box follows its list to the drive that holds the folder.
    list("objDirLB")->setDirectory(mounted + "/deep");
    EXPECT_EQ(drives->currentIndex(), 1);
    list("objDirLB")->setDirectory(dir.path().native());
    EXPECT_EQ(drives->currentIndex(), 0);
    EXPECT_EQ(panel("objPNL"), dir.path().native());

    drives->setCurrentIndex(1);
    drives->setCurrentIndex(0);
    EXPECT_EQ(panel("objPNL"), "/");
    EXPECT_EQ(list("objDirLB")->currentFolder(), "/");
}

TEST_F(MainWindowTest, TheChecksOfTheCountCommandSpeakInTheirOrder) {
    std::vector<std::string> expected;
    auto expectMessage = [&](std::string_view message) {
        expected.push_back("failure: " + std::string(message));
        count();
        EXPECT_EQ(dialogs.events, expected);
    };
    control<QLineEdit>("edtSVFLNM")->clear();
    expectMessage(texts::kCountFolderUndefined);
    list("objDirLB")->setDirectory(dir.mkdir("src"));
    expectMessage(texts::kSaveFolderUndefined);
    list("objDirLBSV")->setDirectory(dir.mkdir("out"));
    expectMessage(texts::kResultFileNameUndefined);
    control<QLineEdit>("edtSVFLNM")->setText("LocResult.csv");
    button("chkbLang2")->click();
    expectMessage(texts::kNoLanguageChosen);
    button("chkbLang2")->click();
    button("rdoBtnMultiLang")->click();
    expectMessage(texts::kNoLanguageTicked);

    EXPECT_EQ(dialogs.captions, std::vector<std::string>(5, kCaption));
    EXPECT_FALSE(std::filesystem::exists(dir.at("out/LocResult.csv")));
    EXPECT_EQ(window.lastOutcome(), RunOutcome::SettingsRefused);
}

// The bytes `stepcount` writes for the same tree and choices.
std::string commandLineResult(const QStringList& arguments, const std::string& resultFile) {
    QProcess process;
    process.start(QString::fromUtf8(STEPCOUNT_BINARY),
                  QStringList{"-q", "-o", QString::fromStdString(resultFile)} + arguments);
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return readFile(resultFile);
}

// A broken link among the files: its counter's dialog holds the run, and
// while it is open no second run starts and the window does not close.
TEST_F(MainWindowTest, ACountFromTheButtonWritesWhatTheCommandLineWrites) {
    const std::string src = dir.mkdir("src");
    dir.write("src/main.c", "/* c */\n\nint main(void) { return 0; }\n");
    ASSERT_EQ(::symlink("nowhere.c", dir.at("src/broken.c").c_str()), 0);
    dir.write("src/Module1.bas", "' vb\r\nDim x As Integer\r\n");
    dir.write("src/sub/q.sql", "-- q\nselect 1;\n");
    dir.write("src/sub/page.html", "<html>\n<!-- c -->\n</html>\n");
    dir.write("src/sub/HELLO.cob", "000100 IDENTIFICATION DIVISION.\n000200*comment\n");
    dir.write("src/readme.txt", "text\n");
    const std::string out = dir.mkdir("out");
    list("objDirLB")->setDirectory(src);
    list("objDirLBSV")->setDirectory(out);
    control<QLineEdit>("edtSVFLNM")->setText("gui.csv");
    window.show();

    button("rdoBtnMultiLang")->click();
    for (const char* box : {"chkbLang1", "chkbLang2", "chkbLang3", "chkbLang4"}) {
        button(box)->click();
    }
    int dialogsSeen = 0;
    dialogs.onDialog = [&] {
        ++dialogsSeen;
        auto* countButton = control<QPushButton>("objBtnExc");
        EXPECT_TRUE(window.runInProgress());
        EXPECT_TRUE(control<QWidget>("pnlExcSts")->isVisible());
        EXPECT_FALSE(countButton->isEnabled());
        QTest::mouseClick(countButton, Qt::LeftButton);
        EXPECT_FALSE(window.close());
    };
    // When the completion message shows, the busy panel is gone and the
    // progress shows the final figures.
    std::vector<std::string> atMessage;
    dialogs.onMessageBox = [&] {
        atMessage.push_back(control<QLabel>("lblProgress")->text().toStdString());
        EXPECT_FALSE(control<QWidget>("pnlExcSts")->isVisible());
    };
    count();
    EXPECT_EQ(window.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(dialogsSeen, 1);
    // One run, one header; the broken link has its row without counts.
    const std::string multi = readFile(out + "/gui.csv");
    EXPECT_EQ(multi, commandLineResult({"-m", "vb,c,sql,html", QString::fromStdString(src)},
                                       out + "/cli.csv"));

    // A second count appends, as the command line does.
    button("rdoBtnLang5")->click();
    count();
    EXPECT_EQ(readFile(out + "/gui.csv"),
              multi + commandLineResult({"-l", "cobol", QString::fromStdString(src)},
                                        out + "/cli-cobol.csv"));

    ASSERT_EQ(dialogs.events.size(), 3u);
    EXPECT_TRUE(dialogs.events[0].starts_with("dialog: ")) << dialogs.events[0];
    EXPECT_EQ(dialogs.events[1], "info: 計数完了しました。");
    EXPECT_EQ(dialogs.events[2], "info: 計数完了しました。");
    EXPECT_EQ(dialogs.captions, std::vector<std::string>(2, kCaption));
    EXPECT_FALSE(control<QWidget>("pnlExcSts")->isVisible());
    EXPECT_TRUE(control<QWidget>("objBtnExc")->isEnabled());
    EXPECT_EQ(atMessage, (std::vector<std::string>{"ファイル: 7\nフォルダ: 1",
                                                   "ファイル: 7\nフォルダ: 1"}));
}

}  // namespace
}  // namespace stepcount::gui
