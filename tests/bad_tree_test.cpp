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
#include <regex>
#include <stdexcept>
#include <thread>

#include "platform/exception.h"
#include "support/result_rows.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using namespace testing;
using namespace testing::rows;
namespace fs = std::filesystem;

const std::string kCounterFailed = " \n関数名称：mVCCalc_c::fiExcCalc　行番号:159";
const std::string kOpenFailed = "計数結果保存ファイルオープン失敗。\n";

// The counter's error text for a file that cannot be opened.
std::string cannotOpen(const std::string& path, int error) {
    return "Cannot open file \"" + path + "\": " + systemErrorText(error) + kCounterFailed;
}

// A run that failed for its result file: exit status 1 and `err` alone.
void expectFailed(const Ran& ran, const std::string& err) {
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, err);
}

void expectMemoryBelow(const Ran& ran, long kib) {
#ifndef STEPCOUNT_SANITIZED
    EXPECT_GT(ran.maxRssKiB, 0) << "the program's memory was not measured";
    EXPECT_LT(ran.maxRssKiB, kib);
#endif
}

class BadTreeTest : public ::testing::Test {
protected:
    void SetUp() override { useUtc(); }

    // A file below the count folder with the usual last write.
    std::string file(const std::string& relative, const std::string& bytes = kOneLine) {
        const std::string path = dir.write("t/" + relative, bytes);
        setModified(path);
        return path;
    }
#if !defined(_WIN32)
    void link(const std::string& target, const std::string& relative) const {
        if (::symlink(target.c_str(), dir.at(relative).c_str()) != 0) throw std::runtime_error(relative);
    }
#endif
    // Rows of the count folder's own entries.
    std::string one(const std::string& name) const { return oneLineRow(root, name); }
    std::string none(const std::string& name) const { return uncountedRow(root, name); }
    std::string folder(const std::string& name) const { return folderRow(root, name); }

    // The program's count of the tree in C into `path`.
    ProgramRun into(const std::string& path) const { return {{"-l", "c", "-o", path, root}}; }

    // The same into r.csv, with the counting threads that `jobs` ask for. On
    // POSIX a result file past 1 MiB fails the run: a walk that never ends
    // fails at once instead of filling the disk.
    Ran countC(std::vector<std::string> jobs = {"-j1"}) {
        ProgramRun run = into(result);
        run.arguments.insert(run.arguments.begin(), jobs.begin(), jobs.end());
#if !defined(_WIN32)
        run.fileSizeLimit = 1 << 20;
#endif
        return runStepcount(run);
    }

    // Expects a complete run with the messages `err` and the rows `rows`.
    void expectRun(const Ran& ran, const std::string& rows, const std::string& err = "") const {
        EXPECT_EQ(ran.status, 0);
        EXPECT_EQ(ran.err, err);
        EXPECT_EQ(readFile(result), kStandardHeader + rows);
    }

    std::string summary(int counted, int notCounted, int folders, int steps) const {
        return "計数完了しました。\nFiles counted: " + std::to_string(counted) + ", files not counted: " +
               std::to_string(notCounted) + ", folders: " + std::to_string(folders) +
               ", total steps: " + std::to_string(steps) + ". Result file: " + result + "\n";
    }

    // In memory where it can be: deep trees and huge sparse files take a
    // disk many seconds to make and read.
    TempDir dir{memoryTempFolder()};
    const std::string root = dir.mkdir("t");
    const std::string result = dir.at("r.csv");
};

// The folder is listed once, when the walk enters it; what happens to its
// entries after that is met as it is when the walk reaches each of them.
TEST_F(BadTreeTest, EntriesThatVanishOrChangeWhileTheFolderIsWalked) {
    for (const char* name : {"a.c", "b.c", "c.c", "d.c", "e.c", "sub/1.c", "sub/2.c", "sub/deep/3.c", "z.c"}) {
        file(name);
    }
    file("g.c", "x;\n");
    file("h.c", "x;\ny;\nz;\n");
    UnreadableFiles locked;
    const std::string sub = inFolder(root, "sub");
    CallLog frontEnd;   // its changes come after a file is counted, before the next entry is met
    frontEnd.afterFile = [&](const WalkedFile& walked) {
        if (walked.folder == sub && walked.name == "1.c") fs::remove_all(dir.at("t/sub"));
        if (walked.folder != root || walked.name != "a.c") return;
        for (const char* gone : {"t/b.c", "t/c.c", "t/d.c", "t/e.c"}) fs::remove(dir.at(gone));
#if defined(_WIN32)
        locked.add(dir.at("t/c.c"));   // locked by another program where a readable file was
#else
        ASSERT_EQ(::mkfifo(dir.at("t/c.c").c_str(), 0600), 0);
        link("gone.c", "t/d.c");
#endif
        dir.mkdir("t/e.c");
        file("g.c", "x;\ny;\nz;\n");
        file("h.c", "x;\n");
    };
    CountSettings settings = countSettings(dir);
    settings.Jobs = 1;   // counted on the walking thread, so that each change comes in time
    EXPECT_EQ(runLanguageCount(settings, 2, frontEnd, {&frontEnd}), RunOutcome::Completed);
    // The listing's word on what each entry is stands: a vanished entry is a
    // file or a folder that cannot be read, and so is an entry that turned
    // into something else after the listing. Each is named in a message.
    EXPECT_EQ(readFile(result), kStandardHeader + one("a.c") + none("b.c") + none("c.c") + none("d.c") +
                                    none("e.c") + countedRow(root, "g.c", 9, "3,0,0,3,3,0.0") + one("h.c") +
                                    folder("sub") + oneLineRow(sub, "1.c") + uncountedRow(sub, "2.c") +
                                    folderRow(sub, "deep") + one("z.c"));
#if defined(_WIN32)
    const std::string notRegular = cannotOpen(inFolder(root, "c.c"), unreadableError());
#else
    const std::string notRegular = "Cannot read file \"" + root + "/c.c\": it is not a regular file" + kCounterFailed;
#endif
    EXPECT_EQ(frontEnd.events,
              (std::vector<std::string>{
                  "busy shown", "dialog: " + cannotOpen(inFolder(root, "b.c"), ENOENT), "dialog: " + notRegular,
                  "dialog: " + cannotOpen(inFolder(root, "d.c"), ENOENT),
                  "dialog: Cannot read file \"" + inFolder(root, "e.c") + "\": Is a directory" + kCounterFailed,
                  "dialog: " + cannotOpen(inFolder(sub, "2.c"), ENOENT),
                  "dialog: Cannot read folder \"" + inFolder(sub, "deep") + "\": No such file or directory",
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
    if (const std::string why = whyNobodyCannotRun(); !why.empty()) GTEST_SKIP() << why;

    ProgramRun run = into(result);
    run.asNobody = true;
    const Ran ran = runStepcount(run);
    expectRun(ran, one("a.c") + folder("locked") + none("secret.c") + one("z.c"),
              "Cannot read folder \"" + root + "/locked\": Permission denied\n" + cannotOpen(secret, EACCES) + "\n");
    EXPECT_EQ(ran.out, summary(2, 1, 1, 2));
#endif
}

// A file that cannot be opened when the run comes to it (on Windows one
// that another program holds open without sharing, as editors and builds
// do): its row has no counts, the message names it and the run goes on to
// the end, counting one file at a time or several (more threads than files
// too), with each form of the option.
TEST_F(BadTreeTest, FileThatCannotBeOpenedIsNamedAndTheRunGoesOn) {
    file("a.c");
    UnreadableFiles unreadable;
    unreadable.add(dir.at("t/locked.c"));
    file("sub/b.c");
    file("z.c");
    for (const auto& jobs : std::vector<std::vector<std::string>>{{"-j1"}, {"--jobs=3"}, {"-j", "16"}}) {
        SCOPED_TRACE(jobs.back());
        fs::remove(fsPath(result));
        const Ran ran = countC(jobs);
        expectRun(ran,
                  one("a.c") + none("locked.c") + folder("sub") + oneLineRow(inFolder(root, "sub"), "b.c") +
                      one("z.c"),
                  cannotOpen(inFolder(root, "locked.c"), unreadableError()) + "\n");
        EXPECT_EQ(ran.out, summary(3, 1, 1, 3));
    }
}

// Names that need quotes, names that look like options (the count folder's
// and the result file's too), names in UTF-8 written in CP932 (a character
// without a CP932 form as one "?"), names that are not UTF-8 written as they
// are, and a name of the longest length; in name order, letters folded to
// upper case ("_" after them), then by bytes. Windows allows no line break
// or quote in a name, and its names are Unicode: those are POSIX's alone.
TEST_F(BadTreeTest, OddNamesAreQuotedConvertedOrKeptAsTheyAre) {
    const std::string longName = std::string(253, 'n') + ".c";   // 255 bytes
    const std::string nihon = "\x93\xFA\x96{";                   // 日本 in CP932
    const struct {
        std::string name, rows;
        bool posixOnly = false;
    } names[] = {
        {"--help.c", oneLineRow("-t", "--help.c")},
        {"-l.c", oneLineRow("-t", "-l.c")},
        {"-x/y.c", folderRow("-t", "-x") + oneLineRow(inFolder("-t", "-x"), "y.c")},
        {"a\nb.c", oneLineRow("-t", "\"a\nb.c\""), true},
        {"c,d.c", oneLineRow("-t", "\"c,d.c\"")},
        {"cr\r.c", oneLineRow("-t", "\"cr\r.c\""), true},
        {"e\"f.c", oneLineRow("-t", "\"e\"\"f.c\""), true},
        {longName, oneLineRow("-t", longName)},
        {"p,q/m.c", folderRow("-t", "\"p,q\"") + oneLineRow('"' + inFolder("-t", "p,q") + '"', "m.c")},
        {"_x.c", oneLineRow("-t", "_x.c")},
        {"é.c", oneLineRow("-t", "?.c")},
        {"日本/f.c", folderRow("-t", nihon) + oneLineRow(inFolder("-t", nihon), "f.c")},
        {"日本語.c", oneLineRow("-t", nihon + "\x8C\xEA.c")},
        {"😀.c", oneLineRow("-t", "?.c")},
        {"\xFF\xFE.c", oneLineRow("-t", "\xFF\xFE.c"), true},
    };
    dir.mkdir("-t");
    std::string expected = kStandardHeader;
    for (const auto& odd : names) {
        if (odd.posixOnly && kNamesAreUtf8) continue;
        setModified(dir.write("-t/" + odd.name, kOneLine));
        expected += odd.rows;
    }
    const Ran ran = runStepcount({"-l", "c", "-o", "-r.csv", "--", "-t"}, dir.text());
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(ran.err, "");
    EXPECT_EQ(readFile(dir.at("-r.csv")), expected);
}

// Ten thousand nested folders "d" (200 on Windows, see kDeepLevels), each
// also holding a file e.txt that the walk lists after coming back up; the
// bottom file's path is far beyond the system's path limit. The result file
// takes some 200 MB: it is compared row by row with the rows as they are
// made, not with a copy of its own.
TEST_F(BadTreeTest, FarDeeperThanThePathLimit) {
    const FolderChain chain(root, "d", kDeepLevels);
    const Ran ran = runStepcount({"-q", "-l", "c", "-o", "r.csv", "t"}, dir.text());
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(ran.err, "");
    const std::string written = readFile(result);
    std::size_t at = 0, wrongAt = std::string::npos;
    const auto expectRow = [&](std::string_view folder, std::string_view rest) {
        for (const std::string_view part : {folder, rest}) {
            const bool same = written.compare(std::min(at, written.size()), part.size(), part) == 0;
            if (wrongAt == std::string::npos && !same) wrongAt = at;
            at += part.size();
        }
    };
    expectRow("", kStandardHeader);
    chain.forEachRow("t", expectRow);
    // The folders are too long to print: the bytes from the first wrong one tell where it is.
    EXPECT_EQ(wrongAt, std::string::npos) << written.substr(std::min(wrongAt, written.size()), 80);
    EXPECT_EQ(at, written.size());
    expectMemoryBelow(ran, 32 * 1024);
}

// A link to a file is counted through it; links that lead back up are
// listed, not walked; a loop of links is a file that cannot be read. FIFOs,
// sockets and devices are listed and not opened: a FIFO would hang the run,
// /dev/zero never ends.
TEST_F(BadTreeTest, LinksLoopsAndSpecialFiles) {
#if defined(_WIN32)
    GTEST_SKIP() << "symbolic links need a privilege on Windows (and Wine 8 makes none), FIFOs, "
                    "sockets and devices are POSIX's; JunctionToAnAncestorIsListedNotWalked is the "
                    "loop there";
#else
    file("a.c");
    link("a.c", "t/l.c");
    link("loop2.c", "t/loop1.c");
    link("loop1.c", "t/loop2.c");
    dir.mkdir("t/sub/deep");
    link("../..", "t/sub/deep/up");
    link(root, "t/sub/top");
    setModified(dir.write("o/o.c", kOneLine));   // out of the tree and back into it
    link(root, "o/back");
    link(dir.at("o"), "t/out");
    ASSERT_EQ(::mkfifo(dir.at("t/fifo.c").c_str(), 0600), 0);
    link("/dev/zero", "t/zero.c");
    link("/dev/null", "t/null.c");
    sockaddr_un address{AF_UNIX, {}};
    const std::string socketPath = dir.at("t/sock.c");
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
    expectRun(ran,
              one("a.c") + (device ? none("dev.c") : "") + none("fifo.c") + one("l.c") + none("loop1.c") +
                  none("loop2.c") + none("null.c") + folder("out") + folderRow(root + "/out", "back") +
                  oneLineRow(root + "/out", "o.c") + none("sock.c") + folder("sub") +
                  folderRow(root + "/sub", "deep") + folderRow(root + "/sub/deep", "up") +
                  folderRow(root + "/sub", "top") + none("zero.c"),
              cannotOpen(root + "/loop1.c", ELOOP) + "\n" + cannotOpen(root + "/loop2.c", ELOOP) + "\n");
    EXPECT_EQ(ran.out, summary(3, device ? 7 : 6, 6, 3));
#endif
}

#if defined(_WIN32)
// A junction back up the tree is listed as a folder and not walked, found
// by the folders' identities.
TEST_F(BadTreeTest, JunctionToAnAncestorIsListedNotWalked) {
    file("a.c");
    file("sub/b.c");
    const std::string link = dir.at("t/sub/up");
    if (const std::string why = makeJunction(link, root); !why.empty()) {
        GTEST_SKIP() << "this system makes no junction: " << why;
    }
    // Removed before the tree, whose removal would otherwise go through it.
    struct RemoveLink {
        std::string path;
        ~RemoveLink() { fs::remove(fsPath(path)); }
    } removeLink{link};
    const std::string sub = inFolder(root, "sub");
    const Ran ran = countC();
    expectRun(ran, one("a.c") + folder("sub") + oneLineRow(sub, "b.c") + folderRow(sub, "up"));
    EXPECT_EQ(ran.out, summary(2, 0, 2, 2));
}
#endif

// A file whose size needs more than 32 bits, made of one line of more than
// 4 GiB between two short ones, and a file of one 1 GiB line: both sparse,
// so that they cost no disk. Memory stays small however long the lines.
TEST_F(BadTreeTest, FileOver4GiBAndLineOf1GiBInBoundedMemory) {
    constexpr std::uint64_t kBigGap = (std::uint64_t{4} << 30) + 5;
    const std::string big = dir.at("t/big.c");
    const std::string line = dir.at("t/line.c");
    if (!makeSparseFile(big, kBigGap + 4, {{0, "a;\n"}, {kBigGap, "\nb;\n"}}) ||
        !makeSparseFile(line, (std::uint64_t{1} << 30) + 1, {{0, "x"}})) {
        GTEST_SKIP() << "the file system here does not keep sparse files";
    }
    setModified(big);
    setModified(line);
    file("z.c");
    const Ran ran = countC();
    expectRun(ran, countedRow(root, "big.c", kBigGap + 4, "3,0,1,2,3,33.3") +
                       countedRow(root, "line.c", (std::size_t{1} << 30) + 1, "1,0,0,1,1,0.0") + one("z.c"));
    expectMemoryBelow(ran, 64 * 1024);
}

// A result file inside the tree is listed like any other file. One that
// cannot be opened is refused: nothing is read or written, and the exit
// status is 1.
TEST_F(BadTreeTest, ResultFileInTheTreeOrThatCannotBeOpened) {
    file("a.c");
    file("z.c");
    const std::string inside = inFolder(root, "r.csv");
    EXPECT_EQ(runStepcount(into(inside)).status, 0);
    EXPECT_EQ(readFile(inside), kStandardHeader + one("a.c") + none("r.csv") + one("z.c"));
    const std::string folder = dir.mkdir("folder.csv");
    for (const std::string& path : {folder, dir.at("missing/r.csv")}) {
        SCOPED_TRACE(path);
        expectFailed(runStepcount(into(path)), kOpenFailed);
    }
    EXPECT_TRUE(fs::is_empty(fsPath(folder)));
    EXPECT_FALSE(fs::exists(fsPath(dir.at("missing"))));
}

// On POSIX the program runs as another user than root, who may write
// anything; Windows refuses every user.
TEST_F(BadTreeTest, ReadOnlyResultFileIsRefusedUntouched) {
    file("a.c");
    const std::string readOnly = dir.write("read-only.csv", "earlier rows\r\n");
    fs::permissions(fsPath(readOnly), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ProgramRun run = into(readOnly);
#if defined(_WIN32)
    if (std::ofstream(fsPath(readOnly), std::ios::app)) {
        GTEST_SKIP() << "this system lets a read-only file be written (Wine run by root)";
    }
#else
    if (const std::string why = whyNobodyCannotRun(); !why.empty()) GTEST_SKIP() << why;
    ::chmod(dir.path().c_str(), 0755);
    run.asNobody = true;
#endif
    expectFailed(runStepcount(run), kOpenFailed);
    EXPECT_EQ(readFile(readOnly), "earlier rows\r\n");
}

// The file system fills up part way through the result file (a file size
// limit makes it so for the program alone): the run says the result file
// could not be written, and the file holds what it held before, then the
// rows that fit, each whole.
TEST_F(BadTreeTest, ResultFileSystemFillsUpPartWay) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows has no file size limit of a process (RLIMIT_FSIZE)";
#else
    std::string rows = kStandardHeader;
    for (int i = 1000; i < 1200; ++i) {
        const std::string name = std::to_string(i) + ".c";
        file(name);
        rows += one(name);
    }
    ASSERT_EQ(countC().status, 0);
    ASSERT_EQ(readFile(result), rows);
    for (const std::size_t room : {std::size_t{3000}, std::size_t{1}}) {
        SCOPED_TRACE(room);
        const std::string before = readFile(result);
        ProgramRun run = into(result);
        run.fileSizeLimit = static_cast<long long>(before.size() + room);
        expectFailed(runStepcount(run), "計数結果保存ファイル書込み失敗。\n");
        // The whole rows within `room` (none when no line break is: npos + 1 is 0).
        EXPECT_EQ(readFile(result), before + rows.substr(0, rows.substr(0, room).rfind('\n') + 1));
    }
#endif
}

// A file that grows and is cut back while runs count it: every run
// completes, the other rows are exact and the changing file's row is one
// whole, consistent row: every line a step.
TEST_F(BadTreeTest, FileThatGrowsAndShrinksWhileItIsCounted) {
    file("a.c");
    file("z.c");
    const std::string changing = file("m.c", std::string());
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        std::string lines;
        for (int i = 0; i < 20000; ++i) lines += "x;\n";
        std::ofstream out(fsPath(changing), std::ios::binary | std::ios::app);
        std::error_code error;
        for (int round = 0; !stop && out && !error; ++round) {
            if (round % 50 == 49) fs::resize_file(fsPath(changing), 3 * 1000, error);
            out.write(lines.data(), static_cast<std::streamsize>(lines.size())).flush();
        }
    });
    const std::string head = kStandardHeader + one("a.c") + root + ',';
    const std::string tail = one("z.c");
    const std::regex row(R"(m\.c,File,(0|[1-9]\d*),\d{4}/\d\d/\d\d \d\d:\d\d:\d\d,(\d+),0,0,\2,\2,0\.0\r\n)");
    for (int run = 0; run < 20; ++run) {
        const CountSettings settings = countSettings(dir, std::to_string(run) + ".csv");
        RecordingFrontEnd frontEnd;
        EXPECT_EQ(runLanguageCount(settings, 2, frontEnd), RunOutcome::Completed);
        const std::string written = readFile(dir.at(settings.ResultFileName));
        ASSERT_TRUE(written.size() > head.size() + tail.size() && written.starts_with(head) &&
                    written.ends_with(tail))
            << written;
        const std::string changingRow = written.substr(head.size(), written.size() - head.size() - tail.size());
        EXPECT_TRUE(std::regex_match(changingRow, row)) << written;
    }
    stop = true;
    writer.join();
}

}  // namespace
}  // namespace stepcount
