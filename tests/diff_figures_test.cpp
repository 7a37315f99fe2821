// The figures of a comparison end to end: which differences change a step,
// and over random trees, that they add up and agree with counts of each.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "support/diff_rows.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using namespace testing::diffrows;
using testing::Ran;
using testing::readFile;

class DiffFiguresTest : public TreePair {};

// Each case is a file in both versions; the row from its status on, without
// and with --ignore-case (empty: the same).
TEST_F(DiffFiguresTest, WhatChangesAStepAndWhatDoesNot) {
    const std::string longText(300, 'x');
    const std::string same2 = "変更なし,C,2,2,0,0,0,2,0,0,0,0,0,";
    const struct {
        std::string name, oldBytes, newBytes, row, rowIgnoringCase = "";
    } cases[] = {
        {"a-indent.c", "int x;\n    int y;\n\tz();\n", "        int x;\nint y;   \nz();\t\n",
         "変更なし,C,3,3,0,0,0,3,0,0,0,0,0,"},
        {"b-crlf.c", "int x;\r\nint y;\r\n", "int x;\nint y;\n", same2},
        {"c-bom.c", "int x;\nint y;\n", "\xEF\xBB\xBFint x;\nint y;\n", same2},
        {"d-comment-out.c", "int x;\nint y;\nint z;\n", "int x;\n// int y;\nint z;\n",
         "変更,C,3,2,0,0,1,2,0,0,1,0,0,"},
        {"e-comment-edit.c", "// a\nx;\n\n", "/* b */\nx;\n", "変更なし,C,1,1,0,0,0,1,0,1,1,1,0,"},
        // Lines longer than the 256 bytes a count looks at, differing after them.
        {"f-long.c", "s = \"" + longText + "1\";\n", "s = \"" + longText + "2\";\n",
         "変更,C,1,1,0,1,0,0,1,0,0,0,0,"},
        // "日本" in Shift_JIS and in UTF-8 on a step and in a comment.
        {"g-sjis-utf8.c", "s = \"\x93\xFA\x96\x7B\";\nint a;\n// \x93\xFA\n",
         "s = \"日本\";\nint a;\n// 日\n", "変更,C,2,2,0,1,0,1,1,1,1,0,0,文字コード相違"},
        {"h-ascii-sjis.c", "\xEF\xBB\xBFint a;\n", "int a;\n// \x93\xFA\n",
         "変更なし,C,1,1,0,0,0,1,0,0,1,0,0,"},
        {"i-ascii-utf8.c", "int a;\n", "int a;\n// 日\n", "変更なし,C,1,1,0,0,0,1,0,0,1,0,0,"},
        {"j-case.c", "INT X;\nint y;\n", "int x;\nint y;\n", "変更,C,2,2,0,1,0,1,1,0,0,0,0,",
         same2},
        // Shift_JIS "ア" and "チ": second bytes "A" and "a", which --ignore-case keeps.
        {"k-kana.c", "s = \"\x83\x41\";\n", "s = \"\x83\x61\";\n", "変更,C,1,1,0,1,0,0,1,0,0,0,0,"},
    };
    std::string rows, rowsIgnoringCase;
    for (const auto& c : cases) {
        writeOld(c.name, c.oldBytes);
        writeNew(c.name, c.newBytes);
        rows += ".," + c.name + ",File," + c.row + "\r\n";
        rowsIgnoringCase += ".," + c.name + ",File," +
                            (c.rowIgnoringCase.empty() ? c.row : c.rowIgnoringCase) + "\r\n";
    }
    ASSERT_EQ(compare().status, 0);
    ASSERT_EQ(compare({"-l", "c", "--ignore-case"}).status, 0);
    EXPECT_EQ(written(), kByteOrderMark + kHeader + rows + totalRow("19,18,0,4,1,14,4,2,5,1,0") +
                             kHeader + rowsIgnoringCase + totalRow("19,18,0,3,1,15,3,2,5,1,0"));
}

// Renumbering a COBOL program (columns 1-6 and 73-80) and changing a comment
// change no step; the changed DISPLAY does.
TEST_F(DiffFiguresTest, CobolStepsAreTheirProgramColumns) {
    writeOld("p.cob",
             "000100 IDENTIFICATION DIVISION.                                         PROG0001\n"
             "000200 PROGRAM-ID. P.                                                   PROG0002\n"
             "000300*COMMENT                                                          PROG0003\n"
             "000400 PROCEDURE DIVISION.                                              PROG0004\n"
             "000500     DISPLAY \"A\".                                                 PROG0005\n"
             "000600     STOP RUN.                                                    PROG0006\n");
    writeNew("p.cob",
             "001000 IDENTIFICATION DIVISION.                                         NEWP0010\n"
             "001100 PROGRAM-ID. P.\n"
             "001200*COMMENT CHANGED                                                  NEWP0030\n"
             "001300 PROCEDURE DIVISION.                                              NEWP0040\n"
             "001400     DISPLAY \"B\".                                                 NEWP0050\n"
             "001500     STOP RUN.                                                    NEWP0060\n");
    expectComparison(newTable(fileRow(".", "p.cob", "変更", "COBOL", "5,5,0,1,0,4,1,1,1,0,0"),
                              "5,5,0,1,0,4,1,1,1,0,0"),
                     "", {"-l", "cobol"});
}

// Files larger than a window of the alignment are aligned window by window:
// identical versions match wholly and are exact; a step edited in place
// keeps the windows in step but cannot be proven best, so the row is
// approximate; a version far longer than the other has the rest added.
TEST_F(DiffFiguresTest, FilesLargerThanAnAlignmentWindow) {
    constexpr int kSteps = 600'000;   // more than two windows
    std::string big;
    big.reserve(kSteps * 10);
    for (int n = 0; n < kSteps; ++n) big += numbered("s", n % 5000, ";\n");
    std::string edited = big;
    edited.replace(edited.find("s4321;\n", 300'000 * 6), 7, "t4321;\n");
    writeBoth("same.c", big);
    writeOld("edited.c", big);
    writeNew("edited.c", edited);
    writeOld("longer.c", "s0;\n");
    writeNew("longer.c", big);
    const std::string steps = std::to_string(kSteps);
    const std::string less = std::to_string(kSteps - 1);
    expectComparison(newTable(
        fileRow(".", "edited.c", "変更", "C", steps + "," + steps + ",0,1,0," + less + ",1,0,0,0,0",
                "近似") +
            fileRow(".", "longer.c", "変更", "C",
                    "1," + steps + "," + less + ",0,0,1," + less + ",0,0,0,0") +
            fileRow(".", "same.c", "変更なし", "C",
                    steps + "," + steps + ",0,0,0," + steps + ",0,0,0,0,0"),
        std::to_string(2 * kSteps + 1) + "," + std::to_string(3 * kSteps) + "," + less + ",1,0," +
            std::to_string(2 * kSteps) + "," + steps + ",0,0,0,0"));
}

// A reproducible pair of trees of small C files and a few text files in
// several folders: lines changed, inserted, deleted, re-indented and
// commented out, line ends changed, files removed and added, a folder on
// each side only.
void writeRandomTrees(const testing::TempDir& dir, std::uint32_t seed) {
    std::mt19937 random(seed);
    const auto below = [&](std::size_t n) { return static_cast<unsigned>(random() % n); };
    const auto line = [&] {  // few distinct lines, so that equal steps recur
        static const char* const kIndents[] = {"", "    ", "\t", " \t "};
        static const char* const kTexts[] = {"", "// note", "/* 1 */", "}", "return 0;",
                                             "int a = 1;", "int b = 1;", "int c = 1;", "f(a, b);"};
        return std::string(kIndents[below(4)]).append(kTexts[below(9)]);
    };
    const auto write = [&](const std::string& path, const std::vector<std::string>& lines,
                           const char* end) {
        std::string bytes;
        for (const std::string& text : lines) bytes.append(text).append(end);
        dir.write(path, bytes);
    };
    const std::string folders[] = {"", "m0/", "m1/", "m1/deep/", "gone/"};
    for (int i = 0; i < 300; ++i) {
        const std::string folder = folders[below(5)];
        const std::string name = numbered("f", 100 + i, below(15) ? ".c" : ".txt");
        std::vector<std::string> lines(below(40));
        for (std::string& text : lines) text = line();
        const char* end = below(6) ? "\n" : "\r\n";
        write("OLD/" + folder + name, lines, end);
        if (folder == "gone/" || below(20) == 0) continue;  // removed
        std::vector<std::string> edited;
        for (const std::string& text : lines) {
            switch (below(24)) {
                case 0: break;
                case 1: edited.push_back(line()); break;
                case 2: edited.insert(edited.end(), {line(), text}); break;
                case 3: edited.push_back("// " + text); break;
                case 4: edited.push_back(" " + text + "\t"); break;
                default: edited.push_back(text);
            }
        }
        write("NEW/" + folder + name, edited, below(8) ? end : "\r\n");
    }
    for (int i = 0; i < 30; ++i) {
        std::vector<std::string> lines(below(20));
        for (std::string& text : lines) text = line();
        write("NEW/" + (i % 3 ? folders[below(4)] : "fresh/") + numbered("n", i, ".c"), lines, "\n");
    }
}

// The steps, comment lines and blank lines ("3,1,0") of the entries of a
// count's result file, by their path relative to the count's folder
// ("./m1/f107.c").
std::map<std::string, std::string> countRows(const std::string& file) {
    const std::vector<std::string> lines = split(file, "\r\n");
    std::map<std::string, std::string> rows;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::vector<std::string> f = split(lines[i], ",");
        std::string path = ".";
        path.append(f[0], 3).append("/").append(f[1]);
        std::replace(path.begin(), path.end(), kPathSeparator, '/');
        rows[path] = f[8] + ',' + f[6] + ',' + f[7];
    }
    return rows;
}

// Every row against a count of each version (its steps, comment and blank
// lines, and which versions hold the entry); the figures add up; one job or
// four, the same bytes.
TEST_F(DiffFiguresTest, RandomTreesAgreeWithCountsOfEachVersion) {
    writeRandomTrees(dir, 20261207);
    ASSERT_EQ(compare({"-l", "c", "-j", "1"}).status, 0);
    const std::string oneJob = written();
    std::filesystem::remove(result);
    ASSERT_EQ(compare({"-l", "c", "-j", "4"}).status, 0);
    ASSERT_TRUE(written() == oneJob) << "the result file depends on the jobs";
    std::map<std::string, std::string> counts[2];
    for (const std::string side : {"OLD", "NEW"}) {
        const std::string file = side + ".csv";
        const std::vector<std::string> options{"-l", "c", "--encoding", "utf-8", "-o", file, side};
        ASSERT_EQ(testing::runStepcount(options, dir.text()).status, 0);
        counts[side == "NEW"] = countRows(readFile(dir.at(file)));
    }

    const std::vector<std::string> lines = split(oneJob, "\r\n");
    std::set<std::string> listed;
    std::size_t changedFiles = 0;
    for (std::size_t i = 1; i + 2 < lines.size(); ++i) {
        const std::vector<std::string> f = split(lines[i], ",");
        ASSERT_EQ(f.size(), 17u) << lines[i];
        const std::string path = f[0] + "/" + f[1];
        SCOPED_TRACE(path);
        ASSERT_TRUE(listed.insert(path).second);
        const bool in[2] = {counts[0].count(path) != 0, counts[1].count(path) != 0};
        const std::string sided = in[0] && in[1] ? "" : in[0] ? "削除" : "新規";
        ASSERT_TRUE(in[0] || in[1]);
        if (f[2] == "Directory" || f[1].ends_with(".txt")) {
            EXPECT_EQ(f[3] + f[4], f[2] == "Directory" ? sided : "対象外");
            continue;
        }
        for (int side : {0, 1}) {
            EXPECT_EQ(f[5 + side] + ',' + f[12 + side] + ',' + f[14 + side],
                      in[side] ? counts[side].at(path) : "0,0,0");
        }
        std::vector<std::uint64_t> n;  // old steps, new steps, added ... added and changed
        for (int column = 5; column < 12; ++column) n.push_back(std::stoull(f[column]));
        const std::uint64_t added = n[2], changed = n[3], deleted = n[4], unchanged = n[5];
        EXPECT_EQ(n[0], unchanged + changed + deleted);
        EXPECT_EQ(n[1], unchanged + changed + added);
        EXPECT_EQ(n[6], added + changed);
        const std::string status = added + changed + deleted > 0 ? "変更" : "変更なし";
        EXPECT_EQ(f[3] + ',' + f[4] + ',' + f[16], (sided.empty() ? status : sided) + ",C,");
        changedFiles += f[3] == "変更";
    }
    // Every entry of either version listed, and the trees as varied as meant.
    for (const auto& count : counts) {
        for (const auto& [path, row] : count) EXPECT_EQ(listed.count(path), 1u) << path;
    }
    EXPECT_GT(changedFiles, 100u);
}

}  // namespace
}  // namespace stepcount
