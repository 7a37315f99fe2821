// The expected bytes of comparison result files, and a pair of trees OLD and
// NEW to compare with the program.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace stepcount::testing::diffrows {

inline const std::string kByteOrderMark = "\xEF\xBB\xBF";
inline const std::string kHeader =
    "フォルダ名,ファイル名,ファイル／ディレクトリ,状態,言語,旧実ステップ数,新実ステップ数,"
    "追加ステップ数,変更ステップ数,削除ステップ数,変更なしステップ数,追加変更ステップ数,"
    "旧コメント行数,新コメント行数,旧空行数,新空行数,備考\r\n";
inline const std::string kDone = "差分計数完了しました。\n";
// The eleven count columns of a row without counts.
inline const std::string kNoCounts(10, ',');

inline std::string folderRow(const std::string& folder, const std::string& name,
                             const std::string& status = "") {
    return folder + ',' + name + ",Directory," + status + ",," + kNoCounts + ",\r\n";
}
// `counts`: the eleven count columns, "14,14,1,2,1,11,3,1,2,0,0".
inline std::string fileRow(const std::string& folder, const std::string& name,
                           const std::string& status, const std::string& language,
                           const std::string& counts = kNoCounts, const std::string& notes = "") {
    return folder + ',' + name + ",File," + status + ',' + language + ',' + counts + ',' + notes +
           "\r\n";
}
inline std::string totalRow(const std::string& counts) {
    return ",合計,Total,,," + counts + ",\r\n";
}

// A new UTF-8 result file.
inline std::string newTable(const std::string& rows, const std::string& total) {
    return kByteOrderMark + kHeader + rows + totalRow(total);
}

// The changed C file of the README's example (14 real steps in each
// version: 1 added, 2 changed, 1 deleted, 11 unchanged).
inline const std::string kCalcOld =
    "/* calc.c */\nint add(int a, int b) {\n    return a + b;   /* sum */\n}\nint main(void) {\n"
    "    puts(\"start\");\n    int x = 1;\n    int y = 2;\n    printf(\"%d\\n\", add(x, y));\n"
    "    if (x) {\n        x++;\n    }\n    return 0;\n}\nstatic int k;\n";
inline const std::string kCalcNew =
    "/* calc.c version 2 */\nint add(int a, int b) {\n        return a + b;   /* sum */\n}\n"
    "int main(void) {\n//  puts(\"start\");  DEL 2024-05\n    int x = 10;\n    int y = 2;\n"
    "    int z = 3;\n    printf(\"%d\\n\", add(x, y) + z);\n    if (x) {\n        x++;\n    }\n"
    "    return 0;\n}\nstatic int k;\n";

// "f1000.c" of ("f", 1000, ".c"), without the operator+ of a literal and a
// string, which GCC 12 warns of wrongly (-Wrestrict).
inline std::string numbered(const std::string& prefix, int number, const std::string& suffix) {
    return std::string(prefix).append(std::to_string(number)).append(suffix);
}

// A file's or a row's fields split at commas (names without quoting).
inline std::vector<std::string> split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos;
         start = at + separator.size()) {
        parts.push_back(text.substr(start, at - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

// Two versions of a tree, OLD and NEW, in a temporary folder, compared by the
// program into r.csv there (UTF-8 unless the arguments choose otherwise).
class TreePair : public ::testing::Test {
protected:
    void writeOld(const std::string& relative, const std::string& bytes) const {
        dir.write("OLD/" + relative, bytes);
    }
    void writeNew(const std::string& relative, const std::string& bytes) const {
        dir.write("NEW/" + relative, bytes);
    }
    void writeBoth(const std::string& relative, const std::string& bytes) const {
        writeOld(relative, bytes);
        writeNew(relative, bytes);
    }

    // `stepcount -l c --encoding utf-8 -o r.csv --diff OLD NEW`, run in the
    // folder; `options` replace "-l c". On POSIX, as the user nobody when
    // asked (ProgramRun::asNobody).
    Ran compare(std::vector<std::string> options = {"-l", "c"},
                [[maybe_unused]] bool asNobody = false) const {
        ProgramRun run{std::move(options), dir.text()};
        run.arguments.insert(run.arguments.end(),
                             {"--encoding", "utf-8", "-o", "r.csv", "--diff", "OLD", "NEW"});
#if !defined(_WIN32)
        run.asNobody = asNobody;
#endif
        return runStepcount(run);
    }
    std::string written() const { return readFile(result); }
    // Compares and expects exit 0, the result file `table` and the messages `err`.
    void expectComparison(const std::string& table, const std::string& err = "",
                          std::vector<std::string> options = {"-l", "c"},
                          bool asNobody = false) const {
        const Ran ran = compare(std::move(options), asNobody);
        EXPECT_EQ(ran.status, 0);
        EXPECT_EQ(ran.err, err);
        EXPECT_EQ(written(), table);
    }

    // In memory where it can be: deep trees are made and removed quickly.
    TempDir dir{testing::memoryTempFolder()};
    const std::string oldRoot = dir.mkdir("OLD");
    const std::string newRoot = dir.mkdir("NEW");
    const std::string result = dir.at("r.csv");
};

}  // namespace stepcount::testing::diffrows
