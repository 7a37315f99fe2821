// `stepcount --diff OLD NEW` end to end: the result file byte for byte in
// both encodings, what is printed, appending, arguments refused, odd names,
// a full disk, a stop in the middle of a large file and a very deep tree.
#if !defined(_WIN32)
#include <signal.h>
#endif

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/diff_rows.h"
#include "support/result_rows.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using namespace testing::diffrows;
using testing::ProgramRun;
using testing::Ran;
using testing::readFile;
using testing::runStepcount;
using testing::StartedProgram;

class DiffCommandTest : public TreePair {};

// The README's example: calc.c changed in every way a step can change,
// old.c removed, util.c added. Without -o the result file is DiffResult.csv
// in the current folder, CP932 unless UTF-8 is asked for; a second run
// appends its own header, rows and total.
TEST_F(DiffCommandTest, ReadmeExampleInUtf8AppendedAndInCp932) {
    writeOld("src/calc.c", kCalcOld);
    writeNew("src/calc.c", kCalcNew);
    writeOld("src/old.c", "int a;\nint b;\n// c\nint d;\nint e;\n");
    writeNew("src/util.c", "int u1;\nint u2;\n\nint u3;\nint u4;\nint u5;\n");
    // The status words and the total's name given in the file's encoding.
    const auto rows = [](const std::string& changed, const std::string& deleted,
                         const std::string& added, const std::string& total) {
        return folderRow(".", "src") +
               fileRow("./src", "calc.c", changed, "C", "14,14,1,2,1,11,3,1,2,0,0") +
               fileRow("./src", "old.c", deleted, "C", "4,0,0,0,4,0,0,1,0,0,0") +
               fileRow("./src", "util.c", added, "C", "0,5,5,0,0,0,5,0,0,0,1") + ',' + total +
               ",Total,,,18,19,6,2,5,11,8,2,2,0,1,\r\n";
    };
    const std::string printed =
        kDone + "Files added: 1, deleted: 1, changed: 1, unchanged: 0. Steps added: 6, changed: 2, "
                "deleted: 5, unchanged: 11. Result file: " +
        testing::rows::inFolder(".", "DiffResult.csv") + "\n";
    const std::string table = kHeader + rows("変更", "削除", "新規", "合計");
    for (const std::string& expected : {kByteOrderMark + table, kByteOrderMark + table + table}) {
        const Ran ran =
            runStepcount({"-l", "c", "--encoding", "utf-8", "--diff", "OLD", "NEW"}, dir.text());
        EXPECT_EQ(ran.status, 0);
        EXPECT_EQ(ran.out, printed);
        EXPECT_EQ(ran.err, "");
        EXPECT_EQ(readFile(dir.at("DiffResult.csv")), expected);
    }
    std::filesystem::remove(dir.at("DiffResult.csv"));
    const Ran ran = runStepcount({"-l", "c", "--diff", "OLD", "NEW"}, dir.text());
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(ran.out, printed);
    EXPECT_EQ(readFile(dir.at("DiffResult.csv")),
              "\x83t\x83H\x83\x8B\x83_\x96\xBC,\x83t\x83@\x83" "C\x83\x8B\x96\xBC,\x83t\x83@\x83" "C"
              "\x83\x8B\x81^\x83" "f\x83" "B\x83\x8C\x83N\x83g\x83\x8A,\x8F\xF3\x91\xD4,\x8C\xBE\x8C"
              "\xEA,\x8B\x8C\x8E\xC0\x83X\x83" "e\x83" "b\x83v\x90\x94,\x90V\x8E\xC0\x83X\x83" "e\x83"
              "b\x83v\x90\x94,\x92\xC7\x89\xC1\x83X\x83" "e\x83" "b\x83v\x90\x94,\x95\xCF\x8DX\x83X"
              "\x83" "e\x83" "b\x83v\x90\x94,\x8D\xED\x8F\x9C\x83X\x83" "e\x83" "b\x83v\x90\x94,\x95"
              "\xCF\x8DX\x82\xC8\x82\xB5\x83X\x83" "e\x83" "b\x83v\x90\x94,\x92\xC7\x89\xC1\x95\xCF"
              "\x8DX\x83X\x83" "e\x83" "b\x83v\x90\x94,\x8B\x8C\x83R\x83\x81\x83\x93\x83g\x8Ds\x90"
              "\x94,\x90V\x83R\x83\x81\x83\x93\x83g\x8Ds\x90\x94,\x8B\x8C\x8B\xF3\x8Ds\x90\x94,\x90V"
              "\x8B\xF3\x8Ds\x90\x94,\x94\xF5\x8Dl\r\n" +
                  rows("\x95\xCF\x8DX", "\x8D\xED\x8F\x9C", "\x90V\x8BK", "\x8D\x87\x8Cv"));
}

// Refused before anything is written: exit 2, a message, no result file.
TEST_F(DiffCommandTest, WrongArgumentsWriteNothing) {
    dir.write("file.c", "x;\n");
    const std::string tryHelp = "\nTry 'stepcount --help' for more information.\n";
    const std::string missing = "cannot count 'missing': No such file or directory";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"-l", "c", "--diff", "missing", "NEW"}, missing},
        {{"-l", "c", "--diff", "OLD", "missing"}, missing},
        {{"-l", "c", "--diff", "OLD", "file.c"}, "cannot count 'file.c': not a folder"},
        {{"-l", "c", "--diff", "file.c", "NEW"}, "cannot count 'file.c': not a folder"},
        {{"--diff", "OLD", "NEW"}, "choose a language with -l, or several with -m"},
        {{"-l", "c", "--diff", "OLD"}, "--diff needs two folders, OLD and NEW"},
        {{"-l", "c", "--diff", "OLD", "NEW", "NEW"}, "--diff needs two folders, OLD and NEW"},
        {{"-l", "c", "-s", "--diff", "OLD", "NEW"}, "--summary goes with a count, not with --diff"},
        {{"-l", "c", "--ignore-case", "OLD"}, "--ignore-case goes with --diff"},
    };
    for (const auto& [arguments, message] : cases) {
        const Ran ran = runStepcount(arguments, dir.text());
        EXPECT_EQ(ran.status, 2) << message;
        EXPECT_EQ(ran.out, "");
        EXPECT_EQ(ran.err, "stepcount: " + message + tryHelp);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.at("DiffResult.csv")));
    EXPECT_FALSE(std::filesystem::exists(dir.at("LocResult.csv")));
}

// Windows allows no line break or quote in a name: only commas there.
TEST_F(DiffCommandTest, NamesWithCommasQuotesAndLineBreaksAreQuoted) {
    const std::string same = "1,1,0,0,0,1,0,0,0,0,0";
    const struct {
        const char* name;
        std::string rows;
        bool posixOnly;
    } names[] = {
        {"a\nb.c", fileRow(".", "\"a\nb.c\"", "変更なし", "C", same), true},
        {"c,d.c", fileRow(".", "\"c,d.c\"", "変更なし", "C", same), false},
        {"e\"f.c", fileRow(".", "\"e\"\"f.c\"", "変更なし", "C", same), true},
        {"g,h/i.c",
         folderRow(".", "\"g,h\"") + fileRow("\"./g,h\"", "i.c", "変更なし", "C", same), false},
    };
    std::string rows;
    int files = 0;
    for (const auto& odd : names) {
        if (odd.posixOnly && kNamesAreUtf8) continue;
        writeBoth(odd.name, "x;\n");
        rows += odd.rows;
        ++files;
    }
    const std::string n = std::to_string(files);
    expectComparison(newTable(rows, n + ',' + n + ",0,0,0," + n + ",0,0,0,0,0"));
}

// A file size limit makes the disk fill up part way for the program alone:
// exit 1, the write failure named, what the file held kept and the rows that
// fit, each whole. A stop by SIGINT is followed through /proc.
#if defined(_WIN32)
TEST_F(DiffCommandTest, ResultFileSystemFillsUpPartWay) {
    GTEST_SKIP() << "Windows has no file size limit of a process (RLIMIT_FSIZE)";
}
TEST_F(DiffCommandTest, InterruptWhileALargeFileIsCompared) {
    GTEST_SKIP() << "signals and /proc are POSIX's (tools/windows_smoke.sh stops stepcount.exe "
                    "with Ctrl-C)";
}
#else
TEST_F(DiffCommandTest, ResultFileSystemFillsUpPartWay) {
    std::string rows;
    for (int i = 0; i < 200; ++i) {
        const std::string name = numbered("f", 1000 + i, ".c");
        writeOld(name, "x;\n");
        writeNew(name, "y;\n");
        rows += fileRow(".", name, "変更", "C", "1,1,0,1,0,0,1,0,0,0,0");
    }
    ASSERT_EQ(compare().status, 0);
    const std::string table = kHeader + rows + totalRow("200,200,0,200,0,0,200,0,0,0,0");
    ASSERT_EQ(written(), kByteOrderMark + table);

    for (const std::size_t room : {std::size_t{3000}, std::size_t{1}}) {
        const std::string before = written();
        ProgramRun run{
            {"-l", "c", "--encoding", "utf-8", "-o", result, "--diff", oldRoot, newRoot}};
        run.fileSizeLimit = static_cast<long long>(before.size() + room);
        const Ran ran = runStepcount(run);
        EXPECT_EQ(ran.status, 1) << room;
        EXPECT_EQ(ran.out, "");
        EXPECT_EQ(ran.err, "計数結果保存ファイル書込み失敗。\n");
        const std::size_t lastWhole = table.substr(0, room).rfind('\n');
        const std::string fits =
            lastWhole == std::string::npos ? "" : table.substr(0, lastWhole + 1);
        EXPECT_EQ(written(), before + fits) << room;
    }
}

// Thousands of small files, then a sparse file of 1 TiB in both versions
// that would take many minutes to read: SIGINT ends the run in the middle of
// it, with the rows before it written whole and no total row.
TEST_F(DiffCommandTest, InterruptWhileALargeFileIsCompared) {
    std::string rows = kByteOrderMark + kHeader;
    for (int i = 0; i < 5000; ++i) {
        const std::string name = numbered("a", 10000 + i, ".c");
        writeBoth(name, "x;\n");
        rows += fileRow(".", name, "変更なし", "C", "1,1,0,0,0,1,0,0,0,0,0");
    }
    ASSERT_GT(rows.size(), std::size_t{256 * 1024});
    for (const std::string& root : {oldRoot, newRoot}) {
        if (!testing::makeSparseFile(root + "/m.c", std::uint64_t{1} << 40, {})) {
            GTEST_SKIP() << "no sparse file of 1 TiB here";
        }
    }
    writeBoth("z.c", "x;\n");

    StartedProgram program(ProgramRun{{"-q", "-l", "c", "-j", "1", "--encoding", "utf-8", "-o",
                                       result, "--diff", oldRoot, newRoot}});
    ASSERT_TRUE(program.waitUntilOpen(oldRoot + "/m.c"));
    ASSERT_EQ(::kill(program.pid(), SIGINT), 0);
    const Ran ran = program.wait(60);
    ASSERT_FALSE(ran.timedOut) << "the run did not stop";
    EXPECT_EQ(ran.status, 130);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err, "stepcount: stopped by SIGINT; the result file holds the rows written "
                       "before the stop: " + result + "\n");
    EXPECT_TRUE(written() == rows) << written().size() << " bytes instead of " << rows.size();
}
#endif

// Ten thousand nested folders on both sides (200 on Windows, see
// rows::kDeepLevels and rows::FolderChain), the bottom file's path far
// beyond the system's path limit.
TEST_F(DiffCommandTest, FarDeeperThanThePathLimitOnBothSides) {
    constexpr int kLevels = testing::rows::kDeepLevels;
    const testing::rows::FolderChain oldChain(oldRoot, "d", kLevels);
    const testing::rows::FolderChain newChain(newRoot, "d", kLevels);
    const Ran ran = compare({"-q", "-l", "c"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.err, "");
    std::vector<std::string> folders{"."};
    std::string rows;
    for (int level = 0; level < kLevels; ++level) {
        rows += folderRow(folders.back(), "d");
        folders.push_back(folders.back() + "/d");
    }
    rows += fileRow(folders.back(), "e.txt", "対象外", "") +
            fileRow(folders.back(), "f.c", "変更なし", "C", "1,1,0,0,0,1,0,0,0,0,0");
    for (int level = kLevels - 1; level >= 0; --level) {
        rows += fileRow(folders[level], "e.txt", "対象外", "");
    }
    const std::string expected = newTable(rows, "1,1,0,0,0,1,0,0,0,0,0");
    const std::string comparison = written();
    EXPECT_EQ(comparison.size(), expected.size());
    EXPECT_TRUE(comparison == expected);  // too long to print
#ifndef STEPCOUNT_SANITIZED
    EXPECT_GT(ran.maxRssKiB, 0) << "the program's memory was not measured";
    EXPECT_LT(ran.maxRssKiB, 64 * 1024);
#endif
}

}  // namespace
}  // namespace stepcount
