// A window that goes while its count runs (the application quits, the
// session ends): the program must end, and the result file must hold whole
// rows only.
#include <QAbstractButton>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include "gui/main_window.h"
#include "platform/stop_request.h"
#include "support/result_rows.h"
#include "support/test_support.h"

namespace stepcount::gui {
namespace {

using testing::readFile;
using testing::TempDir;

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
