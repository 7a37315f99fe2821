// The main window and the comparison window it opens, under test: their
// controls as they start, choosing folders, the commands' messages, whole
// counts and comparisons started from their buttons (which write what the
// command line writes), and a window that goes while its count runs.
#include <unistd.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "gui/diff_window.h"
#include "gui/main_window.h"
#include "platform/stop_request.h"
#include "platform/texts.h"
#include "support/result_rows.h"
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

template <class Window>
class WindowTest : public ::testing::Test {
protected:
    template <class Control>
    Control* control(const char* name) {
        auto* found = window.template findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAbstractButton* button(const char* name) { return control<QAbstractButton>(name); }
    DirectoryListBox* list(const char* name) { return control<DirectoryListBox>(name); }
    std::string panel(const char* name) { return control<CaptionPanel>(name)->caption(); }

    // Presses the window's button and waits until its command has ended.
    void run() {
        QSignalSpy finished(&window, &Window::runFinished);
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
    Window window{&dialogs};
    TempDir dir;
};
using MainWindowTest = WindowTest<TobjFRMMain>;
using DiffWindowTest = WindowTest<DiffWindow>;

// The bytes `stepcount` writes for the same tree and choices.
std::string commandLineResult(const QStringList& arguments, const std::string& resultFile) {
    QProcess process;
    process.start(QString::fromUtf8(STEPCOUNT_BINARY),
                  QStringList{"-q", "-o", QString::fromStdString(resultFile)} + arguments);
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return readFile(resultFile);
}

TEST_F(MainWindowTest, StartsWithItsNamedControlsAndNothingChosen) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.objectName(), "objFRMMain");
    EXPECT_EQ(window.windowTitle().toStdString(), kCaption);
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);

    // Each control by its name with its text (the panels show no folder yet);
    // no language is chosen. (Their kinds: the other tests find each by it.)
    const std::pair<const char*, const char*> controls[] = {
        {"Label2", "言語"}, {"rdoBtnLang1", "VB,VBA"}, {"rdoBtnLang2", "C,C++,Pro*C,JAVA"},
        {"rdoBtnLang3", "SQL"}, {"rdoBtnLang4", "HTML,ASP,JSP"}, {"rdoBtnLang5", "COBOL"},
        {"rdoBtnMultiLang", "複数言語"}, {"chkbLang1", "VB,VBA"}, {"chkbLang2", "C,C++,Pro*C,JAVA"},
        {"chkbLang3", "SQL"}, {"chkbLang4", "HTML,ASP,JSP"}, {"Label1", "カウント対象フォルダ"},
        {"objPNL", ""}, {"Label4", "計数結果保存ファイル名"}, {"edtSVFLNM", "LocResult.csv"},
        {"Label3", "計数結果保存先フォルダ"}, {"objPNLSV", ""}, {"pnlExcSts", "処理中"},
        {"objBtnExc", "計数実行"},
    };
    for (const auto& [name, expected] : controls) {
        const QWidget* widget = control<QWidget>(name);
        if (widget == nullptr) continue;
        QString text;
        if (auto* label = qobject_cast<const QLabel*>(widget)) text = label->text();
        if (auto* edit = qobject_cast<const QLineEdit*>(widget)) text = edit->text();
        if (auto* panelShown = qobject_cast<const CaptionPanel*>(widget)) {
            EXPECT_EQ(panelShown->caption(), expected) << name;
        }
        if (auto* pressable = qobject_cast<const QAbstractButton*>(widget)) {
            text = pressable->text();
            EXPECT_FALSE(pressable->isChecked()) << name;
        }
        EXPECT_EQ(text.toStdString(), expected) << name;
    }
    EXPECT_FALSE(control<QWidget>("pnlExcSts")->isVisible());
    EXPECT_TRUE(control<QWidget>("objBtnExc")->isEnabled());
    // The lists already show the current folder, but nothing is chosen yet.
    EXPECT_EQ(list("objDirLB")->currentFolder(), std::filesystem::current_path().native());

    // The keyboard's tab order: each control's successor among the window's
    // focusable controls.
    const std::vector<std::string> tabOrder = {
        "objDirLB", "objDrvCB", "objBtnExc", "rdoBtnLang1", "rdoBtnLang2", "objDrvCBSV",
        "objDirLBSV", "edtSVFLNM", "rdoBtnLang3", "rdoBtnLang4", "rdoBtnMultiLang", "chkbLang1",
        "chkbLang2", "chkbLang3", "chkbLang4", "rdoBtnLang5"};
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
    EXPECT_TRUE(settings.MultiSelected && settings.MultiVB && settings.MultiHTML);
    EXPECT_FALSE(settings.SQLSelected || settings.MultiVC || settings.MultiSQL);
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
        run();
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
    run();
    EXPECT_EQ(window.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(dialogsSeen, 1);
    // One run, one header; the broken link has its row without counts.
    const std::string multi = readFile(out + "/gui.csv");
    EXPECT_EQ(multi, commandLineResult({"-m", "vb,c,sql,html", QString::fromStdString(src)},
                                       out + "/cli.csv"));

    // A second count appends, as the command line does.
    button("rdoBtnLang5")->click();
    run();
    EXPECT_EQ(readFile(out + "/gui.csv"),
              multi + commandLineResult({"-l", "cobol", QString::fromStdString(src)},
                                        out + "/cli-cobol.csv"));

    EXPECT_EQ(dialogs.events,
              (std::vector<std::string>{"dialog: Cannot open file \"" + src +
                                            "/broken.c\": No such file or directory \n関数名称：" +
                                            "mVCCalc_c::fiExcCalc　行番号:159",
                                        testing::rows::kFinished, testing::rows::kFinished}));
    EXPECT_EQ(dialogs.captions, std::vector<std::string>(2, kCaption));
    EXPECT_FALSE(control<QWidget>("pnlExcSts")->isVisible());
    EXPECT_TRUE(control<QWidget>("objBtnExc")->isEnabled());
    EXPECT_EQ(atMessage, (std::vector<std::string>{"ファイル: 7\nフォルダ: 1",
                                                   "ファイル: 7\nフォルダ: 1"}));
}

TEST(DiffWindowOpening, TheMainWindowsButtonOpensItWithItsDefaults) {
    testing::RecordingFrontEnd dialogs;
    TobjFRMMain main{&dialogs};
    auto* button = main.findChild<QAbstractButton*>("btnDiff");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text().toStdString(), "差分計数");
    button->click();
    DiffWindow* diff = main.diffWindow();
    ASSERT_NE(diff, nullptr);
    EXPECT_TRUE(diff->isVisible());
    EXPECT_EQ(diff->windowTitle().toStdString(), "ステップ数カウントツール Ver.1.02 差分計数");
    EXPECT_EQ(diff->findChild<QLineEdit*>("edtSVFLNM")->text().toStdString(), "DiffResult.csv");
    for (const auto& [name, text] : {std::pair{"lblHeadingOld", "変更前フォルダ"},
                                     std::pair{"lblHeadingNew", "変更後フォルダ"}}) {
        const QLabel* heading = diff->findChild<QLabel*>(name);
        ASSERT_NE(heading, nullptr) << name;
        EXPECT_EQ(heading->text().toStdString(), text);
    }
    for (QAbstractButton* choice : diff->findChildren<QAbstractButton*>()) {
        EXPECT_FALSE(choice->isChecked()) << choice->objectName().toStdString();
    }
}

TEST_F(DiffWindowTest, ItsChecksSpeakAsACountsAndWriteNothing) {
    const std::string out = dir.mkdir("out");
    const std::vector<std::string> expected = {
        "failure: カウント対象フォルダが未定義です。",
        "failure: 計数結果保存先フォルダが未定義です。",
        "failure: 言語が選択されていません。",
    };
    run();
    list("objDirLBOld")->setDirectory(dir.mkdir("a"));
    list("objDirLBNew")->setDirectory(dir.mkdir("b"));
    run();
    list("objDirLBSV")->setDirectory(out);
    run();
    EXPECT_EQ(dialogs.events, expected);
    EXPECT_EQ(window.lastOutcome(), RunOutcome::SettingsRefused);
    EXPECT_FALSE(std::filesystem::exists(out + "/DiffResult.csv"));
}

// Two versions of calc.c, a file deleted and a file added.
TEST_F(DiffWindowTest, AComparisonWritesWhatTheCommandLineWrites) {
    dir.write("OLD/src/calc.c",
              "/* calc.c */\nint add(int a, int b) {\n    return a + b;   /* sum */\n}\n"
              "int main(void) {\n    puts(\"start\");\n    int x = 1;\n    int y = 2;\n"
              "    printf(\"%d\\n\", add(x, y));\n    if (x) {\n        x++;\n    }\n"
              "    return 0;\n}\nstatic int k;\n");
    dir.write("NEW/src/calc.c",
              "/* calc.c version 2 */\nint add(int a, int b) {\n        return a + b;   /* sum */\n}\n"
              "int main(void) {\n//  puts(\"start\");  DEL 2024-05\n    int x = 10;\n    int y = 2;\n"
              "    int z = 3;\n    printf(\"%d\\n\", add(x, y) + z);\n    if (x) {\n        x++;\n"
              "    }\n    return 0;\n}\nstatic int k;\n");
    dir.write("OLD/src/old.c", "int a;\nint b;\n// c\nint d;\nint e;\n");
    dir.write("NEW/src/util.c", "int u1;\nint u2;\n\nint u3;\nint u4;\nint u5;\n");
    const std::string out = dir.mkdir("out");
    list("objDirLBOld")->setDirectory(dir.at("OLD"));
    list("objDirLBNew")->setDirectory(dir.at("NEW"));
    list("objDirLBSV")->setDirectory(out);
    button("rdoBtnLang2")->click();
    window.show();
    run();
    EXPECT_EQ(window.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(dialogs.events, std::vector<std::string>{"info: 差分計数完了しました。"});
    // The command line's bytes for this example: DiffCommandTest.CalcProjectInCp932ByDefault.
    EXPECT_EQ(readFile(out + "/DiffResult.csv"),
              commandLineResult({"-l", "c", "--diff", QString::fromStdString(dir.at("OLD")),
                                 QString::fromStdString(dir.at("NEW"))},
                                out + "/cli.csv"));

    savePicture("diff-window.png");
}

// A window that goes while its count runs (the application quits, the
// session ends): the program must end, and the result file must hold whole
// rows only.
TEST(WindowQuitTest, AWindowThatGoesWhileItsCountRunsEndsTheRunWithWholeRows) {
    TempDir dir;
    const std::string src = dir.mkdir("src");
    ASSERT_EQ(::symlink("nowhere.c", dir.at("src/a-broken.c").c_str()), 0);
    for (int n = 0; n < 2000; ++n) dir.write("src/f" + std::to_string(n) + ".c", "x;\n");
    const std::string out = dir.mkdir("out");

    testing::RecordingFrontEnd dialogs;
    auto* window = new TobjFRMMain(&dialogs);
    window->findChild<DirectoryListBox*>("objDirLB")->setDirectory(src);
    window->findChild<DirectoryListBox*>("objDirLBSV")->setDirectory(out);
    window->findChild<QAbstractButton*>("rdoBtnLang2")->click();
    QTest::mouseClick(window->findChild<QAbstractButton*>("objBtnExc"), Qt::LeftButton);
    ASSERT_TRUE(window->runInProgress());
    // The window goes before its thread carries out anything the run asks of
    // it (the busy panel, the dialog of the broken link). A window that waited
    // for ever for its run would hang the suite: the program is ended instead.
    std::promise<void> gone;
    std::thread watchdog([ended = gone.get_future()] {
        if (ended.wait_for(std::chrono::seconds(60)) == std::future_status::timeout) {
            std::fputs("the window did not end while its count ran\n", stderr);
            std::abort();
        }
    });
    delete window;
    gone.set_value();
    watchdog.join();
    EXPECT_EQ(stopRequested(), 0);
    const std::string written = readFile(out + "/LocResult.csv");
    ASSERT_TRUE(written.starts_with(testing::rows::kStandardHeader)) << written.substr(0, 200);
    EXPECT_TRUE(written.ends_with("\r\n"));
}

}  // namespace
}  // namespace stepcount::gui
