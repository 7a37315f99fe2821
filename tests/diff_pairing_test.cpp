// Which entries of OLD and NEW a comparison pairs, and the rows of those it
// cannot pair or cannot read.
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/exception.h"
#include "support/diff_rows.h"
#include "support/result_rows.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using namespace testing::diffrows;

const std::string kOneStep = "1,1,0,0,0,1,0,0,0,0,0";
const std::string kAdded = "0,1,1,0,0,0,1,0,0,0,0";
const std::string kDeleted = "1,0,0,0,1,0,0,0,0,0,0";

// The counter's message for a file that cannot be opened.
std::string cannotOpen(const std::string& path, int error) {
    return "Cannot open file \"" + path + "\": " + systemErrorText(error) +
           " \n関数名称：mVCCalc_c::fiExcCalc　行番号:159\n";
}

class DiffPairingTest : public TreePair {};

// Names equal but for the case of ASCII letters pair when the match is one
// to one, after the exact matches; the rows show the name in NEW. Where one
// version holds several names that differ in case only (which NTFS cannot),
// none of them pairs with a name that differs from it in case.
TEST_F(DiffPairingTest, NamesThatDifferInCase) {
    writeOld("A.c", "x;\n");
    writeNew("a.c", "x;\ny;\n");
    writeOld("LIB/x.c", "x;\n");
    writeNew("Lib/x.c", "x;\n");
    std::string rows = fileRow(".", "a.c", "変更", "C", "1,2,1,0,0,1,1,0,0,0,0");
    std::string total = "2,3,1,0,0,2,1,0,0,0,0";
    if (!kNamesAreUtf8) {
        for (const char* name : {"B.c", "b.c", "C.c", "c.c", "D.c", "d.c"}) writeOld(name, "x;\n");
        for (const char* name : {"B.C", "C.c", "d.c", "D.C"}) writeNew(name, "x;\n");
        rows += fileRow(".", "B.C", "新規", "C", kAdded) + fileRow(".", "B.c", "削除", "C", kDeleted) +
                fileRow(".", "b.c", "削除", "C", kDeleted) +
                fileRow(".", "C.c", "変更なし", "C", kOneStep) +
                fileRow(".", "c.c", "削除", "C", kDeleted) +
                fileRow(".", "D.C", "変更なし", "C", kOneStep) +
                fileRow(".", "d.c", "変更なし", "C", kOneStep);
        total = "8,7,2,0,3,5,2,0,0,0,0";
    }
    expectComparison(newTable(rows + folderRow(".", "Lib") +
                                  fileRow("./Lib", "x.c", "変更なし", "C", kOneStep),
                              total));
}

// A file on one side and a folder of the same name on the other: the file's
// row, then the folder's with all its content; so for a folder on one side.
TEST_F(DiffPairingTest, FilesThatBecameFoldersAndFoldersOnOneSide) {
    writeOld("f.c", "x;\n");
    writeNew("f.c/in/g.c", "y;\n");
    writeOld("g.c/sub/h.c", "z;\n");
    writeNew("g.c", "x;\n");
    writeOld("gone/deep/o.c", "a;\nb;\n");
    writeNew("only/deep/n.c", "a;\n");
    writeNew("only/n.txt", "a;\n");
    expectComparison(
        newTable(fileRow(".", "f.c", "削除", "C", kDeleted) + folderRow(".", "f.c", "新規") +
                     folderRow("./f.c", "in", "新規") +
                     fileRow("./f.c/in", "g.c", "新規", "C", kAdded) +
                     fileRow(".", "g.c", "新規", "C", kAdded) + folderRow(".", "g.c", "削除") +
                     folderRow("./g.c", "sub", "削除") +
                     fileRow("./g.c/sub", "h.c", "削除", "C", kDeleted) +
                     folderRow(".", "gone", "削除") + folderRow("./gone", "deep", "削除") +
                     fileRow("./gone/deep", "o.c", "削除", "C", "2,0,0,0,2,0,0,0,0,0,0") +
                     folderRow(".", "only", "新規") + folderRow("./only", "deep", "新規") +
                     fileRow("./only/deep", "n.c", "新規", "C", kAdded) +
                     fileRow("./only", "n.txt", "対象外", ""),
                 "4,3,3,0,4,0,3,0,0,0,0"));
}

// As a count meets them: a link to a file is compared through it, a link to
// a folder is a folder, a link back to an ancestor is a folder not entered,
// a dangling link cannot be read (and is named), a FIFO or a device is
// never opened (and cannot be read).
TEST_F(DiffPairingTest, LinksAndFifos) {
#if defined(_WIN32)
    GTEST_SKIP() << "FIFOs and devices are POSIX files, and a symbolic link needs a privilege on "
                    "Windows (Wine 8 makes none)";
#else
    dir.write("outside/old.c", "x;\ny;\n");
    dir.write("outside/new.c", "x;\nz;\n");
    dir.write("outside/dir/e.c", "e;\n");
    for (const std::string& root : {oldRoot, newRoot}) {
        ASSERT_EQ(::symlink("../outside/dir", (root + "/ldir").c_str()), 0);
        ASSERT_EQ(::symlink("nowhere.c", (root + "/dangling.c").c_str()), 0);
        ASSERT_EQ(::mkfifo((root + "/fifo.c").c_str(), 0600), 0);
        ASSERT_TRUE(std::filesystem::create_directory(root + "/sub"));
        ASSERT_EQ(::symlink("..", (root + "/sub/up").c_str()), 0);
    }
    ASSERT_EQ(::symlink("../outside/old.c", dir.at("OLD/link.c").c_str()), 0);
    ASSERT_EQ(::symlink("../outside/new.c", dir.at("NEW/link.c").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.at("OLD/was-fifo.c").c_str(), 0600), 0);
    writeNew("was-fifo.c", "x;\n");
    writeOld("was-file.c", "x;\n");
    ASSERT_EQ(::symlink("nowhere.c", dir.at("NEW/was-file.c").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.at("OLD/zero.c").c_str()), 0);
    writeNew("zero.c", "x;\n");
    expectComparison(newTable(fileRow(".", "dangling.c", "読込失敗", "C") +
                                  fileRow(".", "fifo.c", "読込失敗", "C") + folderRow(".", "ldir") +
                                  fileRow("./ldir", "e.c", "変更なし", "C", kOneStep) +
                                  fileRow(".", "link.c", "変更", "C", "2,2,0,1,0,1,1,0,0,0,0") +
                                  folderRow(".", "sub") + folderRow("./sub", "up") +
                                  fileRow(".", "was-fifo.c", "読込失敗", "C") +
                                  fileRow(".", "was-file.c", "読込失敗", "C") +
                                  fileRow(".", "zero.c", "読込失敗", "C"),
                              "3,3,0,1,0,2,1,0,0,0,0"),
                     cannotOpen("OLD/dangling.c", ENOENT) + cannotOpen("NEW/dangling.c", ENOENT) +
                         cannotOpen("NEW/was-file.c", ENOENT));
#endif
}

// A folder that leads back up the walk in OLD only has no content there, as
// in a count of OLD: what NEW holds in it is new.
TEST_F(DiffPairingTest, FolderThatLeadsBackUpOnOneSideOnly) {
    dir.mkdir("OLD/sub");
#if defined(_WIN32)
    const std::string link = dir.at("OLD/sub/up");
    if (const std::string why = testing::makeJunction(link, dir.at("OLD")); !why.empty()) {
        GTEST_SKIP() << "this system makes no junction: " << why;
    }
    // Removed before the tree, whose removal would otherwise go through it.
    struct RemoveLink {
        std::string path;
        ~RemoveLink() { std::filesystem::remove(testing::fsPath(path)); }
    } removeLink{link};
#else
    ASSERT_EQ(::symlink("..", dir.at("OLD/sub/up").c_str()), 0);
#endif
    writeNew("sub/up/x.c", "x;\n");
    writeBoth("sub/z.c", "z;\n");
    expectComparison(newTable(folderRow(".", "sub") + folderRow("./sub", "up") +
                                  fileRow("./sub/up", "x.c", "新規", "C", kAdded) +
                                  fileRow("./sub", "z.c", "変更なし", "C", kOneStep),
                              "1,2,1,0,0,1,1,0,0,0,0"));
}

// A file that cannot be opened in one version (on Windows one that another
// program holds locked) has its language and no counts; a folder that cannot
// be read in one version (POSIX: by its mode, the program run as nobody when
// the test runs as root, who reads everything) has its row, and what the
// other holds in it is listed unread. Each failure is named, the run goes on.
TEST_F(DiffPairingTest, FileAndFolderUnreadableOnOneSide) {
    writeOld("s.c", "x;\n");
    testing::UnreadableFiles unreadable;
    unreadable.add(dir.at("NEW/s.c"));
    writeBoth("z.c", "x;\n");
    std::string rows = fileRow(".", "s.c", "読込失敗", "C") +
                       fileRow(".", "z.c", "変更なし", "C", kOneStep);
    std::string err = cannotOpen(testing::rows::inFolder("NEW", "s.c"), testing::unreadableError());
#if !defined(_WIN32)
    writeBoth("locked/a.c", "x;\n");
    ::chmod(dir.path().c_str(), 0777);
    ASSERT_EQ(::chmod(dir.at("OLD/locked").c_str(), 0), 0);
    if (::geteuid() != 0 && ::access(dir.at("OLD/locked").c_str(), R_OK) == 0) {
        GTEST_SKIP() << "permissions are not enforced here";
    }
    // Its files unread: no figures, no message of their own.
    rows = folderRow(".", "locked") + fileRow("./locked", "a.c", "読込失敗", "C") + rows;
    err = "Cannot read folder \"OLD/locked\": Permission denied\n" + err;
#endif
    expectComparison(newTable(rows, kOneStep), err, {"-l", "c"}, true);
}

// Files of no chosen language are listed without counts, on both sides or
// one; with several languages each file is compared in its own
// language.
TEST_F(DiffPairingTest, FilesOfOtherLanguagesAndSeveralLanguages) {
    writeBoth("a.c", "int a;\n");
    writeOld("b.sql", "select 1;\n-- note\n");
    writeNew("b.sql", "select 2;\n-- note\n");
    writeBoth("c.html", "<p>\n");
    writeOld("d.cob", "000100 IDENTIFICATION DIVISION.\n");
    writeNew("e.txt", "text\n");
    const std::string notCounted = fileRow(".", "c.html", "対象外", "") +
                                   fileRow(".", "d.cob", "対象外", "") +
                                   fileRow(".", "e.txt", "対象外", "");
    const std::string aRow = fileRow(".", "a.c", "変更なし", "C", kOneStep);
    expectComparison(newTable(aRow + fileRow(".", "b.sql", "対象外", "") + notCounted, kOneStep));
    std::filesystem::remove(result);
    expectComparison(
        newTable(aRow + fileRow(".", "b.sql", "変更", "SQL", "1,1,0,1,0,0,1,1,1,0,0") + notCounted,
                 "2,2,0,1,0,1,1,1,1,0,0"),
        "", {"-m", "c,sql"});
}

}  // namespace
}  // namespace stepcount
