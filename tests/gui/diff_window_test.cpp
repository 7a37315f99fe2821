// The window that compares two versions of a tree: opened from the main
// window, its checks speak as a count's, and a comparison from its button
// writes what `stepcount --diff` writes for the same choices.
#include <QAbstractButton>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <string>
#include <vector>

#include "gui/diff_window.h"
#include "gui/main_window.h"
#include "support/test_support.h"

namespace stepcount::gui {
namespace {

using testing::readFile;
using testing::TempDir;

class DiffWindowTest : public ::testing::Test {
protected:
    template <class Control>
    Control* control(const char* name) {
        auto* found = window.findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void compare() {
        QSignalSpy finished(&window, &DiffWindow::runFinished);
        QTest::mouseClick(control<QAbstractButton>("objBtnExc"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, 20000));
        QCoreApplication::processEvents();
    }

    testing::RecordingFrontEnd dialogs;
    DiffWindow window{&dialogs};
    TempDir dir;
};

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
    compare();
    control<DirectoryListBox>("objDirLBOld")->setDirectory(dir.mkdir("a"));
    control<DirectoryListBox>("objDirLBNew")->setDirectory(dir.mkdir("b"));
    compare();
    control<DirectoryListBox>("objDirLBSV")->setDirectory(out);
    compare();
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
    control<DirectoryListBox>("objDirLBOld")->setDirectory(dir.at("OLD"));
    control<DirectoryListBox>("objDirLBNew")->setDirectory(dir.at("NEW"));
    control<DirectoryListBox>("objDirLBSV")->setDirectory(out);
    control<QAbstractButton>("rdoBtnLang2")->click();
    window.show();
    compare();
    EXPECT_EQ(window.lastOutcome(), RunOutcome::Completed);
    EXPECT_EQ(dialogs.events, std::vector<std::string>{"info: 差分計数完了しました。"});

    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(out));
    process.start(QString::fromUtf8(STEPCOUNT_BINARY),
                  {"-q", "-l", "c", "-o", "cli.csv", "--diff", QString::fromStdString(dir.at("OLD")),
                   QString::fromStdString(dir.at("NEW"))});
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    // The command line's bytes for this example: DiffCommandTest.CalcProjectInCp932ByDefault.
    EXPECT_EQ(readFile(out + "/DiffResult.csv"), readFile(out + "/cli.csv"));

    const QImage picture = window.grab().toImage();
    EXPECT_TRUE(picture.save(QString::fromUtf8(STEPCOUNT_PICTURE_DIR "/diff-window.png")));
}

}  // namespace
}  // namespace stepcount::gui
