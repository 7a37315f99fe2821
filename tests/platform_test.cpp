// What the rows and the progress line show: name ordering, dates, the ratio's
// format, the result file's path, and the progress line's fitting of long
// folder paths.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "cli/command_line.h"
#include "cli/progress_line.h"
#include "platform/ascii.h"
#include "platform/file_time.h"
#include "report/result_format.h"
#include "runs/count_runs.h"

namespace stepcount {
namespace {

TEST(EntryOrder, FoldsLettersToUpperCaseThenBreaksTiesByBytes) {
    std::vector<std::string> names = {"b.c", "_x.c", "a.c", "B", "A.c", "a", "Z", "[", "\xE3\x81\x82"};
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return ascii::compareEntryNames(a, b) < 0;
    });
    // "_" (0x5F) and "[" (0x5B) sort after the upper-case letters they are
    // compared with; "A.c" before "a.c" by raw bytes.
    const std::vector<std::string> expected = {"a", "A.c", "a.c", "B", "b.c", "Z", "[", "_x.c",
                                               "\xE3\x81\x82"};
    EXPECT_EQ(names, expected);
}

TEST(FileDate, IsLocalTimeWithSecondsRoundedDownToEven) {
#if defined(_WIN32)
    GTEST_SKIP() << "a Windows process has the system's time zone: it cannot be set to JST here";
#else
    const char* saved = ::getenv("TZ");
    const std::string previous = saved ? saved : "";
    ::setenv("TZ", "JST-9", 1);
    ::tzset();
    EXPECT_EQ(formatFileDate(1354579557), "2012/12/04 09:05:56");  // 09:05:57 JST
    EXPECT_EQ(formatFileDate(1354579556), "2012/12/04 09:05:56");
    if (saved) ::setenv("TZ", previous.c_str(), 1); else ::unsetenv("TZ");
    ::tzset();
#endif
}

TEST(ResultFormatTest, RatioHasOneDecimalRoundedAsPrintfDoes) {
    const std::vector<std::pair<double, std::string>> cases = {
        {0.0, "0.0"}, {100.0, "100.0"}, {50.0, "50.0"}, {100.0 / 3.0, "33.3"},
        {200.0 / 3.0, "66.7"}, {12.25, "12.2"}, {0.05, "0.1"}, {99.96, "100.0"}, {5.0, "5.0"},
    };
    for (const auto& [ratio, text] : cases) {
        std::string row;
        appendFileRow(row, ResultLayout::Standard, "/f", "a.c", 1, "D",
                      CountResult{1, 0, 0, 1, 1, ratio});
        EXPECT_EQ(row, "/f,a.c,File,1,D,1,0,0,1,1," + text + "\r\n") << ratio;
    }
}

// The save folder, the system's separator and the name are joined as they
// are; a result path given whole is split at its last separator and, where
// there is none, after its root.
TEST(ResultPath, IsJoinedAsItIsAndSplitAtTheLastSeparator) {
    using Case = std::tuple<std::string, std::string, std::string>;   // folder, name, path
#if defined(_WIN32)
    const Case joins[] = {
        {"C:\\", "out.csv", "C:\\\\out.csv"}, {"out\\", "r.csv", "out\\\\r.csv"},
        {"out/", "r.csv", "out/\\r.csv"}, {".", "LocResult.csv", ".\\LocResult.csv"},
        {" ", " ", " \\ "}};
    const Case splits[] = {
        {".", "r.csv", "r.csv"}, {"out", "r.csv", "out\\r.csv"}, {"out", "r.csv", "out/r.csv"},
        {"C:\\out", "r.csv", "C:\\out\\r.csv"}, {"C:/out", "r.csv", "C:/out/r.csv"},
        {"C:", "r.csv", "C:\\r.csv"}, {"C:.", "r.csv", "C:r.csv"}, {"\\.", "r.csv", "\\r.csv"},
        {"\\\\server\\share", "r.csv", "\\\\server\\share\\r.csv"}, {"out", "", "out\\"}};
#else
    const Case joins[] = {
        {"/dev", "full", "/dev/full"}, {"/", "out.csv", "//out.csv"},
        {"out/", "r.csv", "out//r.csv"}, {".", "LocResult.csv", "./LocResult.csv"}, {" ", " ", " / "}};
    const Case splits[] = {
        {".", "r.csv", "r.csv"}, {"out", "r.csv", "out/r.csv"}, {"/", "r.csv", "/r.csv"},
        {"/a/b", "r.csv", "/a/b/r.csv"}, {".", "a\\b.csv", "a\\b.csv"}, {"out", "", "out/"},
        {".", "C:r.csv", "C:r.csv"}};
#endif
    for (const auto& [folder, name, path] : joins) {
        CountSettings settings;
        settings.SaveFolder = folder;
        settings.ResultFileName = name;
        EXPECT_EQ(resultPath(settings), path);
    }
    for (const auto& [folder, name, path] : splits) {
        std::string splitFolder, splitName;
        cli::splitResultPath(path, splitFolder, splitName);
        EXPECT_EQ(splitFolder, folder) << path;
        EXPECT_EQ(splitName, name) << path;
    }
}

TEST(ProgressLine, KeepsTheTailOfALongFolderPath) {
    EXPECT_EQ(cli::fitToColumns("src/short", 20), "src/short");
    EXPECT_EQ(cli::fitToColumns("a/very/long/folder/path", 12), "...lder/path");
    EXPECT_EQ(cli::fitToColumns("a/very/long/folder/path", 13), "...older/path");
    // Japanese characters take two columns each: three of them fit in seven.
    EXPECT_EQ(cli::fitToColumns("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x96\x87", 7),
              "...\xE8\xAA\x9E\xE6\x96\x87");
    EXPECT_EQ(cli::fitToColumns("abcdef", 2), "..");
}

TEST(ProgressLine, DrawsCountsAndFolderThenClearsOnlyWhenEnabled) {
    for (const bool enabled : {true, false}) {
        std::FILE* stream = std::tmpfile();
        ASSERT_NE(stream, nullptr);
        cli::ProgressLine progress(stream, enabled);
        progress.onFolder("src", "sub");
        const FileFacts facts;
        const FileCount none, counted = CountResult{};
        // Drawn later, at most 4 a second.
        progress.onFile(WalkedFile{"src/sub\n", "a.c", LanguageId::None, facts, none});
        progress.clear();
        progress.onFile(WalkedFile{"src/sub\n", "b.c", LanguageId::VC, facts, counted});
        progress.clear();
        std::string written(256, '\0');
        std::rewind(stream);
        written.resize(std::fread(written.data(), 1, written.size(), stream));
        std::fclose(stream);
        EXPECT_EQ(written, enabled ? "\r0 files, 1 folders: src\x1b[K\r\x1b[K"
                                     "\r2 files, 1 folders: src/sub?\x1b[K\r\x1b[K"
                                   : "");
    }
}

}  // namespace
}  // namespace stepcount
