// Trees that try to break a run, end to end: entries that change or vanish
// while the run walks them, entries that cannot be read, hostile names,
// extreme depth and size, links in loops, special files, and result files
// that cannot take the rows. In every case the rest of the tree is counted,
// every other row is right, the message names what went wrong, and the exit
// status says whether the result file is complete.
#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/exception.h"
#include "runs/count_runs.h"
#include "support/result_rows.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using namespace testing::rows;
using testing::ProgramRun;
using testing::Ran;
using testing::readFile;
using testing::RecordingFrontEnd;
using testing::runStepcount;
using testing::TempDir;

const std::string kCounterFailed = " \n関数名称：mVCCalc_c::fiExcCalc　行番号:159";
const std::string kDone = "計数完了しました。\n";
const std::string kOpenFailed = "計数結果保存ファイルオープン失敗。\n";
const std::string kWriteFailed = "計数結果保存ファイル書込み失敗。\n";

// The counter's error text for a file that cannot be opened.
std::string cannotOpen(const std::string& path, int error) {
    return "Cannot open file \"" + path + "\": " + systemErrorText(error) + kCounterFailed;
}

class BadTreeTest : public ::testing::Test {
protected:
    void SetUp() override { testing::useUtc(); }

    // Writes a file below the count folder with the usual last write.
    std::string file(const std::string& relative, const std::string& bytes = kOneLine) {
        const std::string path = dir.write("t/" + relative, bytes);
        setModified(path);
        return path;
    }

    // Counts the tree in C into r.csv with the program, with `jobs` counting
    // threads. On POSIX a result file past 1 MiB fails the run: a walk that
    // never ends fails at once instead of filling the disk.
    Ran countC(const std::string& jobs = "1") {
        ProgramRun run{{"-j", jobs, "-l", "c", "-o", result, root}};
#if !defined(_WIN32)
        run.fileSizeLimit = 1 << 20;
#endif
        return runStepcount(run);
    }

    std::string summary(int counted, int notCounted, int folders, int steps) const {
        return kDone + "Files counted: " + std::to_string(counted) +
               ", files not counted: " + std::to_string(notCounted) +
               ", folders: " + std::to_string(folders) + ", total steps: " + std::to_string(steps) +
               ". Result file: " + result + "\n";
    }

    // In memory where it can be: deep trees and huge sparse files take a
    // disk many seconds to make and read.
    TempDir dir{testing::memoryTempFolder()};
    const std::string root = dir.mkdir("t");
    const std::string result = dir.at("r.csv");
};

// Runs a change to the tree when the walk reports a given file, that is
// after that file was counted and before the next entry is looked at.
class ChangeAfterFile : public WalkObserver {
public:
    void at(const std::string& folder, const std::string& name, std::function<void()> change) {
        changes_[{folder, name}] = std::move(change);
    }
    void onFile(const WalkedFile& file) override {
        const auto found = changes_.find({std::string(file.folder), std::string(file.name)});
        if (found != changes_.end()) found->second();
    }

private:
    std::map<std::pair<std::string, std::string>, std::function<void()>> changes_;
};

// The folder is listed once, when the walk enters it; what happens to its
// entries after that is met as it is when the walk reaches each of them.
TEST_F(BadTreeTest, EntriesThatVanishOrChangeWhileTheFolderIsWalked) {
    for (const char* name : {"a.c", "b.c", "c.c", "d.c", "e.c", "sub/1.c", "sub/2.c", "sub/deep/3.c", "z.c"}) {
        file(name);
    }
    file("g.c", "x;\n");
    file("h.c", "x;\ny;\nz;\n");
    testing::UnreadableFiles locked;
    ChangeAfterFile changes;
    changes.at(root, "a.c", [&] {
        std::filesystem::remove(dir.at("t/b.c"));
        std::filesystem::remove(dir.at("t/c.c"));
        std::filesystem::remove(dir.at("t/d.c"));
#if defined(_WIN32)
        // A file that another program has locked, where a readable one was.
        locked.add(dir.at("t/c.c"));
#else
        ASSERT_EQ(::mkfifo(dir.at("t/c.c").c_str(), 0600), 0);
        ASSERT_EQ(::symlink("gone.c", dir.at("t/d.c").c_str()), 0);
#endif
        std::filesystem::remove(dir.at("t/e.c"));
        dir.mkdir("t/e.c");
        file("g.c", "x;\ny;\nz;\n");
        file("h.c", "x;\n");
    });
    const std::string sub = inFolder(root, "sub");
    changes.at(sub, "1.c", [&] { std::filesystem::remove_all(dir.at("t/sub")); });

    CountSettings settings;
    settings.CountFolder = root;
    settings.SaveFolder = dir.text();
    settings.ResultFileName = "r.csv";
    // Counted on the walking thread, so that each change comes before the
    // next entry is counted.
    settings.Jobs = 1;
    RecordingFrontEnd frontEnd;
    EXPECT_EQ(testing::runLanguageCount(settings, testing::codeOf(LanguageId::VC), frontEnd, {&changes}),
              RunOutcome::Completed);

    // The listing's word on what each entry is stands: a vanished entry is a
    // file or a folder that cannot be read, and so is an entry that turned
    // into something else after the listing. Each is named in a message.
    EXPECT_EQ(readFile(result),
              kStandardHeader + oneLineRow(root, "a.c") + uncountedRow(root, "b.c") +
                  uncountedRow(root, "c.c") + uncountedRow(root, "d.c") + uncountedRow(root, "e.c") +
                  countedRow(root, "g.c", 9, "3,0,0,3,3,0.0") + oneLineRow(root, "h.c") +
                  folderRow(root, "sub") + oneLineRow(sub, "1.c") + uncountedRow(sub, "2.c") +
                  folderRow(sub, "deep") + oneLineRow(root, "z.c"));
#if defined(_WIN32)
    const std::string notRegular = cannotOpen(inFolder(root, "c.c"), testing::unreadableError());
#else
    const std::string notRegular =
        "Cannot read file \"" + root + "/c.c\": it is not a regular file" + kCounterFailed;
#endif
    EXPECT_EQ(frontEnd.events,
              (std::vector<std::string>{
                  "busy shown", "dialog: " + cannotOpen(inFolder(root, "b.c"), ENOENT),
                  "dialog: " + notRegular, "dialog: " + cannotOpen(inFolder(root, "d.c"), ENOENT),
                  "dialog: Cannot read file \"" + inFolder(root, "e.c") + "\": Is a directory" +
                      kCounterFailed,
                  "dialog: " + cannotOpen(inFolder(sub, "2.c"), ENOENT),
                  "dialog: Cannot read folder \"" + inFolder(sub, "deep") +
                      "\": No such file or directory",
                  "busy hidden", kFinished}));
}

// Root reads everything, so the program runs as nobody when the test runs
// as root.
TEST_F(BadTreeTest, UnreadableFileAndUnsearchableFolderAreListedAndNamed) {
#if defined(_WIN32)
    GTEST_SKIP() << "file modes and the user 65534 are POSIX's; on Windows a locked file is the "
                    "file that cannot be read (FileThatCannotBeOpenedIsNamedAndTheRunGoesOn)";
#else
    file("a.c");
    file("locked/x.c");
    const std::string secret = file("secret.c");
    file("z.c");
    ::chmod(dir.path().c_str(), 0777);
    ASSERT_EQ(::chmod(dir.at("t/locked").c_str(), 0), 0);
    ASSERT_EQ(::chmod(secret.c_str(), 0), 0);
    if (::geteuid() != 0 && ::access(secret.c_str(), R_OK) == 0) GTEST_SKIP() << "permissions are not enforced here";
    if (const std::string why = testing::whyNobodyCannotRun(); !why.empty()) GTEST_SKIP() << why;

    ProgramRun run{{"-l", "c", "-o", result, root}};
    run.asNobody = true;
    const Ran ran = runStepcount(run);
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(readFile(result), kStandardHeader + oneLineRow(root, "a.c") + folderRow(root, "locked") +
                                    uncountedRow(root, "secret.c") + oneLineRow(root, "z.c"));
    EXPECT_EQ(ran.err, "Cannot read folder \"" + root + "/locked\": Permission denied\n" +
                           cannotOpen(secret, EACCES) + "\n");
    EXPECT_EQ(ran.out, summary(2, 1, 1, 2));
#endif
}

// A file that cannot be opened when the run comes to it (on Windows one
// that another program holds open without sharing, as editors and builds
// do): its row has no counts, the message names it and the run goes on to
// the end, counting one file at a time or several.
TEST_F(BadTreeTest, FileThatCannotBeOpenedIsNamedAndTheRunGoesOn) {
    file("a.c");
    testing::UnreadableFiles unreadable;
    unreadable.add(dir.at("t/locked.c"));
    file("sub/b.c");
    file("z.c");
    const std::string sub = inFolder(root, "sub");
    for (const char* jobs : {"1", "4"}) {
        std::filesystem::remove(testing::fsPath(result));
        const Ran ran = countC(jobs);
        EXPECT_EQ(ran.status, 0) << jobs;
        EXPECT_EQ(readFile(result), kStandardHeader + oneLineRow(root, "a.c") +
                                        uncountedRow(root, "locked.c") + folderRow(root, "sub") +
                                        oneLineRow(sub, "b.c") + oneLineRow(root, "z.c"));
        EXPECT_EQ(ran.err,
                  cannotOpen(inFolder(root, "locked.c"), testing::unreadableError()) + "\n");
        EXPECT_EQ(ran.out, summary(3, 1, 1, 3));
    }
}

// Names that need quotes, names that look like options (the count folder's
// and the result file's too), names in UTF-8 written in CP932 (a character
// without a CP932 form as one "?"), names that are not UTF-8 written as they
// are, and a name of the longest length; in name order, letters folded to
// upper case ("_" after them), then by bytes.
TEST_F(BadTreeTest, OddNamesAreQuotedConvertedOrKeptAsTheyAre) {
    const std::string longName = std::string(253, 'n') + ".c";
    ASSERT_EQ(longName.size(), 255u);
    const std::string nihon = "\x93\xFA\x96{";   // 日本 in CP932
    // Each name with its rows, in the order of the result file. Windows
    // allows no line break or quote in a name, and its names are Unicode:
    // those are made where the system has them.
    struct OddName {
        std::string name;
        std::string rows;
        bool posixOnly = false;
    };
    const OddName names[] = {
        {"--help.c", oneLineRow("-t", "--help.c")},
        {"-l.c", oneLineRow("-t", "-l.c")},
        {"-x/y.c", folderRow("-t", "-x") + oneLineRow(inFolder("-t", "-x"), "y.c")},
        {"a\nb.c", oneLineRow("-t", "\"a\nb.c\""), true},
        {"c,d.c", oneLineRow("-t", "\"c,d.c\"")},
        {"cr\r.c", oneLineRow("-t", "\"cr\r.c\""), true},
        {"e\"f.c", oneLineRow("-t", "\"e\"\"f.c\""), true},
        {longName, oneLineRow("-t", longName)},
        {"p,q/m.c",
         folderRow("-t", "\"p,q\"") + oneLineRow('"' + inFolder("-t", "p,q") + '"', "m.c")},
        {"_x.c", oneLineRow("-t", "_x.c")},
        {"é.c", oneLineRow("-t", "?.c")},
        {"日本/f.c", folderRow("-t", nihon) + oneLineRow(inFolder("-t", nihon), "f.c")},
        {"日本語.c", oneLineRow("-t", nihon + "\x8C\xEA.c")},
        {"😀.c", oneLineRow("-t", "?.c")},
        {"\xFF\xFE.c", oneLineRow("-t", "\xFF\xFE.c"), true},
    };
    dir.mkdir("-t");
    std::string expected = kStandardHeader;
    for (const OddName& odd : names) {
        if (odd.posixOnly && kNamesAreUtf8) continue;
        setModified(dir.write("-t/" + odd.name, kOneLine));
        expected += odd.rows;
    }
    const Ran ran = runStepcount({"-l", "c", "-o", "-r.csv", "--", "-t"}, dir.text());
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.err, "");
    EXPECT_EQ(readFile(dir.at("-r.csv")), expected);
}

// Ten thousand nested folders "d" (200 on Windows, see kDeepLevels),
// each also holding a file e.txt that the walk lists after coming back up;
// the bottom file's path is far beyond the system's path limit. The result
// file takes some 200 MB: it is compared row by row with the rows as they
// are made, not with a copy of its own.
TEST_F(BadTreeTest, FarDeeperThanThePathLimit) {
    const FolderChain chain(root, "d", kDeepLevels);
    const Ran ran = runStepcount({"-q", "-l", "c", "-o", "r.csv", "t"}, dir.text());
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.err, "");
    const std::string written = readFile(result);
    std::string_view unread = written;
    std::string mismatch;
    int row = 0;
    const auto expectRow = [&](std::string_view folder, std::string_view rest) {
        if (!mismatch.empty()) return;
        if (unread.starts_with(folder) && unread.substr(folder.size()).starts_with(rest)) {
            unread.remove_prefix(folder.size() + rest.size());
            ++row;
            return;
        }
        // The folders are too long to print: the row's end tells which it is.
        const std::string_view line = unread.substr(0, unread.find('\n') + 1);
        mismatch = "row " + std::to_string(row) + " (" + std::to_string(line.size()) + " bytes) ends in " +
                   std::string(line.substr(line.size() - std::min<std::size_t>(line.size(), 60))) +
                   " instead of " + std::string(rest);
    };
    expectRow("", kStandardHeader);
    chain.forEachRow("t", expectRow);
    EXPECT_EQ(mismatch, "");
    EXPECT_EQ(unread.size(), 0u) << "bytes after the last row";
#ifndef STEPCOUNT_SANITIZED
    EXPECT_GT(ran.maxRssKiB, 0) << "the program's memory was not measured";
    EXPECT_LT(ran.maxRssKiB, 32 * 1024);
#endif
}

// A link to a file is counted through it; links that lead back up are
// listed, not walked; a loop of links is a file that cannot be read.
TEST_F(BadTreeTest, LinksToFilesAncestorsAndLoopsOfLinks) {
#if defined(_WIN32)
    GTEST_SKIP() << "a symbolic link needs a privilege on Windows (and Wine 8 makes none); "
                    "JunctionToAnAncestorIsListedNotWalked is the loop there";
#else
    file("a.c");
    ASSERT_EQ(::symlink("a.c", dir.at("t/l.c").c_str()), 0);
    ASSERT_EQ(::symlink("loop2.c", dir.at("t/loop1.c").c_str()), 0);
    ASSERT_EQ(::symlink("loop1.c", dir.at("t/loop2.c").c_str()), 0);
    dir.mkdir("t/sub/deep");
    ASSERT_EQ(::symlink("../..", dir.at("t/sub/deep/up").c_str()), 0);
    ASSERT_EQ(::symlink(root.c_str(), dir.at("t/sub/top").c_str()), 0);
    // Out of the tree and back into it.
    setModified(dir.write("o/o.c", kOneLine));
    ASSERT_EQ(::symlink(root.c_str(), dir.at("o/back").c_str()), 0);
    ASSERT_EQ(::symlink(dir.at("o").c_str(), dir.at("t/out").c_str()), 0);

    const Ran ran = countC();
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(readFile(result),
              kStandardHeader + oneLineRow(root, "a.c") + oneLineRow(root, "l.c") + uncountedRow(root, "loop1.c") +
                  uncountedRow(root, "loop2.c") + folderRow(root, "out") + folderRow(root + "/out", "back") +
                  oneLineRow(root + "/out", "o.c") + folderRow(root, "sub") +
                  folderRow(root + "/sub", "deep") + folderRow(root + "/sub/deep", "up") +
                  folderRow(root + "/sub", "top"));
    EXPECT_EQ(ran.err, cannotOpen(root + "/loop1.c", ELOOP) + "\n" + cannotOpen(root + "/loop2.c", ELOOP) + "\n");
    EXPECT_EQ(ran.out, summary(3, 2, 6, 3));
#endif
}

#if defined(_WIN32)
// A junction back up the tree is listed as a folder and not walked, found
// by the folders' identities.
TEST_F(BadTreeTest, JunctionToAnAncestorIsListedNotWalked) {
    file("a.c");
    file("sub/b.c");
    const std::string link = dir.at("t/sub/up");
    if (const std::string why = testing::makeJunction(link, root); !why.empty()) {
        GTEST_SKIP() << "this system makes no junction: " << why;
    }
    // Removed before the tree, whose removal would otherwise go through it.
    struct RemoveLink {
        std::string path;
        ~RemoveLink() { std::filesystem::remove(testing::fsPath(path)); }
    } removeLink{link};
    const std::string sub = inFolder(root, "sub");
    const Ran ran = countC();
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(ran.err, "");
    EXPECT_EQ(readFile(result), kStandardHeader + oneLineRow(root, "a.c") + folderRow(root, "sub") +
                                    oneLineRow(sub, "b.c") + folderRow(sub, "up"));
    EXPECT_EQ(ran.out, summary(2, 0, 2, 2));
}
#endif

// None of them is opened: a FIFO would hang the run, /dev/zero never ends.
TEST_F(BadTreeTest, FifoSocketAndDevicesAreListedWithoutBeingOpened) {
#if defined(_WIN32)
    GTEST_SKIP() << "FIFOs, sockets and device nodes are POSIX files";
#else
    file("a.c");
    ASSERT_EQ(::mkfifo(dir.at("t/fifo.c").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.at("t/zero.c").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", dir.at("t/null.c").c_str()), 0);
    const std::string socketPath = dir.at("t/sock.c");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(sock);
    // A device node of its own needs the right to make one; without it the
    // links to devices stand for it.
    const bool device = ::mknod(dir.at("t/dev.c").c_str(), S_IFCHR | 0600, makedev(1, 5)) == 0;
    if (!device) std::cerr << "no device node made: " << std::strerror(errno) << '\n';

    const Ran ran = countC();
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(ran.err, "");
    EXPECT_EQ(readFile(result), kStandardHeader + oneLineRow(root, "a.c") +
                                    (device ? uncountedRow(root, "dev.c") : "") +
                                    uncountedRow(root, "fifo.c") + uncountedRow(root, "null.c") +
                                    uncountedRow(root, "sock.c") + uncountedRow(root, "zero.c"));
#endif
}

// A file whose size needs more than 32 bits, made of one line of more than
// 4 GiB between two short ones, and a file of one 1 GiB line: both sparse,
// so that they cost no disk. Memory stays small however long the lines.
TEST_F(BadTreeTest, FileOver4GiBAndLineOf1GiBInBoundedMemory) {
    constexpr std::uint64_t kBigGap = (std::uint64_t{4} << 30) + 5;
    const std::string big = dir.at("t/big.c");
    const std::string line = dir.at("t/line.c");
    if (!testing::makeSparseFile(big, kBigGap + 4, {{0, "a;\n"}, {kBigGap, "\nb;\n"}}) ||
        !testing::makeSparseFile(line, (std::uint64_t{1} << 30) + 1, {{0, "x"}})) {
        GTEST_SKIP() << "the file system here does not keep sparse files";
    }
    setModified(big);
    setModified(line);
    file("z.c");

    const Ran ran = countC();
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(ran.err, "");
    EXPECT_EQ(readFile(result), kStandardHeader + countedRow(root, "big.c", kBigGap + 4, "3,0,1,2,3,33.3") +
                                    countedRow(root, "line.c", (std::size_t{1} << 30) + 1, "1,0,0,1,1,0.0") +
                                    oneLineRow(root, "z.c"));
#ifndef STEPCOUNT_SANITIZED
    EXPECT_GT(ran.maxRssKiB, 0) << "the program's memory was not measured";
    EXPECT_LT(ran.maxRssKiB, 64 * 1024);
#endif
}

TEST_F(BadTreeTest, ResultFileInsideTheTreeIsListedLikeAnyOtherFile) {
    file("a.c");
    file("z.c");
    const std::string inside = inFolder(root, "r.csv");
    const Ran ran = runStepcount({"-l", "c", "-o", inside, root}, "/");
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(readFile(inside), kStandardHeader + oneLineRow(root, "a.c") +
                                    uncountedRow(root, "r.csv") + oneLineRow(root, "z.c"));
}

// A result file that cannot be opened: nothing is read or written, and the
// exit status is 1.
void expectRefused(const ProgramRun& run) {
    const Ran ran = runStepcount(run);
    EXPECT_EQ(ran.status, 1) << run.arguments[3];
    EXPECT_EQ(ran.out, "") << run.arguments[3];
    EXPECT_EQ(ran.err, kOpenFailed) << run.arguments[3];
}

TEST_F(BadTreeTest, ResultFileThatIsAFolderOrInAMissingFolderIsRefused) {
    file("a.c");
    const std::string folder = dir.mkdir("folder.csv");
    for (const std::string& path : {folder, dir.at("missing/r.csv")}) {
        expectRefused(ProgramRun{{"-l", "c", "-o", path, root}});
    }
    EXPECT_TRUE(std::filesystem::is_empty(testing::fsPath(folder)));
    EXPECT_FALSE(std::filesystem::exists(testing::fsPath(dir.at("missing"))));
}

// Read-only: on POSIX the program runs as another user than root for that,
// as root may write anything; Windows refuses every user.
TEST_F(BadTreeTest, ReadOnlyResultFileIsRefusedUntouched) {
    namespace fs = std::filesystem;
    file("a.c");
    const std::string readOnly = dir.write("read-only.csv", "earlier rows\r\n");
    fs::permissions(testing::fsPath(readOnly),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ProgramRun run{{"-l", "c", "-o", readOnly, root}};
#if defined(_WIN32)
    if (std::ofstream(testing::fsPath(readOnly), std::ios::app)) {
        GTEST_SKIP() << "this system lets a read-only file be written (Wine run by root)";
    }
#else
    if (const std::string why = testing::whyNobodyCannotRun(); !why.empty()) GTEST_SKIP() << why;
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    run.asNobody = true;
#endif
    expectRefused(run);
    EXPECT_EQ(readFile(readOnly), "earlier rows\r\n");
}

#if !defined(_WIN32)
// Rows of `count` one-line files f0000.c ... below the count folder `top`.
std::string manyFiles(const TempDir& dir, const std::string& top, int count) {
    std::string rows;
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%04d.c", i);
        setModified(dir.write("t/" + std::string(name), kOneLine));
        rows += oneLineRow(top, name);
    }
    return rows;
}

// The rows that fit into `room` bytes: whole rows only.
std::string wholeRowsWithin(const std::string& rows, std::size_t room) {
    const std::size_t end = rows.substr(0, room).rfind('\n');
    return end == std::string::npos ? std::string() : rows.substr(0, end + 1);
}

// The file system fills up part way through the result file (a file size
// limit makes it so for the program alone): the run says the result file
// could not be written, and the file holds what it held before, then the
// rows that fit, each whole.
TEST_F(BadTreeTest, ResultFileSystemFillsUpPartWay) {
    const std::string rows = kStandardHeader + manyFiles(dir, root, 200);
    ASSERT_EQ(countC().status, 0);
    ASSERT_EQ(readFile(result), rows);

    for (const std::size_t room : {std::size_t{3000}, std::size_t{1}}) {
        const std::string before = readFile(result);
        ProgramRun run{{"-l", "c", "-o", result, root}};
        run.fileSizeLimit = static_cast<long long>(before.size() + room);
        const Ran ran = runStepcount(run);
        EXPECT_EQ(ran.status, 1) << room;
        EXPECT_EQ(ran.out, "");
        EXPECT_EQ(ran.err, kWriteFailed);
        EXPECT_EQ(readFile(result), before + wholeRowsWithin(rows, room)) << room;
    }
}
#else
TEST_F(BadTreeTest, ResultFileSystemFillsUpPartWay) {
    GTEST_SKIP() << "Windows has no file size limit of a process (RLIMIT_FSIZE)";
}
#endif

// A file that grows and is cut back while runs count it: every run
// completes, the other rows are exact and the changing file's row is one
// whole, consistent row.
TEST_F(BadTreeTest, FileThatGrowsAndShrinksWhileItIsCounted) {
    file("a.c");
    file("z.c");
    const std::string changing = file("m.c", std::string());
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        const std::string lines = [] {
            std::string text;
            for (int i = 0; i < 20000; ++i) text += "x;\n";
            return text;
        }();
        std::ofstream out(testing::fsPath(changing), std::ios::binary | std::ios::app);
        std::error_code error;
        for (int round = 0; !stop && out && !error; ++round) {
            if (round % 50 == 49) {
                std::filesystem::resize_file(testing::fsPath(changing), 3 * 1000, error);
            }
            out.write(lines.data(), static_cast<std::streamsize>(lines.size())).flush();
        }
    });

    CountSettings settings;
    settings.CountFolder = root;
    settings.SaveFolder = dir.text();
    for (int run = 0; run < 20; ++run) {
        settings.ResultFileName = "r" + std::to_string(run) + ".csv";
        RecordingFrontEnd frontEnd;
        EXPECT_EQ(testing::runLanguageCount(settings, testing::codeOf(LanguageId::VC), frontEnd),
                  RunOutcome::Completed);
        const std::string written = readFile(dir.at(settings.ResultFileName));
        const std::string head = kStandardHeader + oneLineRow(root, "a.c");
        const std::string tail = oneLineRow(root, "z.c");
        ASSERT_TRUE(written.starts_with(head) && written.ends_with(tail)) << written;
        // folder,m.c,File,size,date,n,0,0,n,n,0.0: every line a step.
        std::istringstream row(written.substr(head.size(), written.size() - head.size() - tail.size()));
        std::vector<std::string> fields;
        for (std::string field; std::getline(row, field, ',');) fields.push_back(field);
        ASSERT_EQ(fields.size(), 11u) << row.str();
        EXPECT_EQ(fields[0] + ',' + fields[1] + ',' + fields[2], root + ",m.c,File") << row.str();
        EXPECT_EQ(std::to_string(std::stoull(fields[3])), fields[3]) << row.str();
        EXPECT_EQ(fields[4].size(), kDate.size()) << row.str();
        const std::string& lines = fields[5];
        EXPECT_EQ(fields[6] + ',' + fields[7] + ',' + fields[8] + ',' + fields[9] + ',' + fields[10],
                  "0,0," + lines + ',' + lines + ",0.0\r\n")
            << row.str();
    }
    stop = true;
    writer.join();
}

}  // namespace
}  // namespace stepcount
