// The expected bytes of result files, the last write every counted file is
// given, and chains of nested folders with their rows.
#pragma once

#include <chrono>
#include <ctime>

#include "platform/file_system.h"
#include "support/test_support.h"

namespace stepcount::testing::rows {

// The eleven columns every header starts with, in CP932 bytes.
inline const std::string kColumns =
    "\x83t\x83H\x83\x8B\x83_\x96\xBC,\x83t\x83@\x83" "C\x83\x8B\x96\xBC,\x83t\x83@\x83" "C\x83\x8B"
    "\x81^\x83" "f\x83" "B\x83\x8C\x83N\x83g\x83\x8A,\x83t\x83@\x83" "C\x83\x8B\x83T\x83" "C\x83Y"
    "(Byte),\x83t\x83@\x83" "C\x83\x8B\x93\xFA\x95t\x8E\x9E\x8D\x8F,\x93\xC7\x8D\x9E\x82\xDD\x8Ds"
    "\x90\x94,\x83R\x83\x81\x83\x93\x83g\x8Ds\x90\x94,\x8B\xF3\x8Ds\x90\x94,\x8E\xC0\x83X\x83" "e"
    "\x83" "b\x83v\x90\x94,\x91\x8D\x83X\x83" "e\x83" "b\x83v\x90\x94,\x83R\x83\x81\x83\x93\x83g"
    "\x97\xA6";
inline const std::string kStandardHeader = kColumns + "\r\n";
inline const std::string kVBHeader =
    kColumns + ",\x83v\x83\x8D\x83p\x83" "e\x83" "B\x92\xE8\x8B`\x83X\x83" "e\x83" "b\x83v\x90\x94\r\n";
// The standard header as UTF-8 text.
inline const std::string kStandardHeaderUtf8 =
    "フォルダ名,ファイル名,ファイル／ディレクトリ,ファイルサイズ(Byte),ファイル日付時刻,"
    "読込み行数,コメント行数,空行数,実ステップ数,総ステップ数,コメント率\r\n";

// Every file is given this last write, an odd second in UTC; the date
// column shows it rounded down to the even second.
inline constexpr std::time_t kWritten = 1600000001;
inline const std::string kDate = "2020/09/13 12:26:40";

inline const std::string kFinished = "info: 計数完了しました。";

inline void setModified(const std::string& path) {
    std::error_code error;
    const auto written = std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(kWritten));
    std::filesystem::last_write_time(fsPath(path), written, error);
    ASSERT_FALSE(error) << path << ": " << error.message();
}

// `folder` and `name` joined by the system's separator, as the program does.
inline std::string inFolder(std::string_view folder, std::string_view name) {
    return std::string(folder).append(1, kPathSeparator).append(name);
}

// A result file written on Linux (tests/data) as the program writes it here:
// the "/" of the first field turned into the system's separator ("/" is
// never part of a CP932 character).
inline std::string withSystemSeparators(std::string bytes) {
    bool quoted = false, firstField = true;
    for (char& c : bytes) {
        if (c == '"') quoted = !quoted;
        else if (!quoted && (c == ',' || c == '\n')) firstField = c == '\n';
        else if (firstField && c == '/') c = kPathSeparator;
    }
    return bytes;
}

inline std::string folderRow(const std::string& folder, const std::string& name, int commas = 9) {
    return folder + ',' + name + ",Directory" + std::string(commas, ',') + "\r\n";
}
inline std::string uncountedRow(const std::string& folder, const std::string& name, int commas = 9) {
    return folder + ',' + name + ",File" + std::string(commas, ',') + "\r\n";
}
inline std::string countedRow(const std::string& folder, const std::string& name, std::size_t size,
                              const std::string& counts) {
    return folder + ',' + name + ",File," + std::to_string(size) + ',' + kDate + ',' + counts + "\r\n";
}
// The row of a file holding the one code line "x;".
inline const std::string kOneLine = "x;\n";
inline std::string oneLineRow(const std::string& folder, const std::string& name) {
    return countedRow(folder, name, kOneLine.size(), "1,0,0,1,1,0.0");
}

// How deep the deep-tree tests go: far beyond the system's path limit; on
// Windows beyond the old limit of 260 (MAX_PATH) only, for Wine resolves
// every long path anew from the root, and a thousand levels take it minutes.
#if defined(_WIN32)
inline constexpr int kDeepLevels = 200;
#else
inline constexpr int kDeepLevels = 10000;
#endif

// A chain of `levels` folders named `name`, each inside the one before,
// below the folder `top`, made and removed level by level (on POSIX through
// descriptors, for the paths may exceed the system's limit; on Windows by
// "\\?\" paths). Every folder, `top` included, holds an empty e.txt; the
// last also holds f.c, one line of code, with the usual last write.
class FolderChain {
public:
    FolderChain(const std::string& top, std::string name, int levels);
    ~FolderChain() { remove(); }
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;

    // Calls `row(folder, rest)`, the row's folder field and the rest of it,
    // for every row that a walk of `shownTop` (the top folder as the run
    // names it) writes for the chain, in order: each folder's row, the two
    // files at the bottom, then on the way back up the e.txt of every folder.
    template <class RowFunction>
    void forEachRow(const std::string& shownTop, RowFunction&& row) const {
        std::string deepest = shownTop;
        for (int level = 0; level < levels_; ++level) (deepest += kPathSeparator) += name_;
        const std::string folderRest = folderRow("", name_), emptyRest = uncountedRow("", "e.txt"),
                          sourceRest = oneLineRow("", "f.c");
        const auto at = [&](int level) {
            return std::string_view(deepest).substr(0, shownTop.size() + level * (name_.size() + 1));
        };
        for (int level = 0; level < levels_; ++level) row(at(level), std::string_view(folderRest));
        row(at(levels_), std::string_view(emptyRest));
        row(at(levels_), std::string_view(sourceRest));
        for (int level = levels_ - 1; level >= 0; --level) row(at(level), std::string_view(emptyRest));
    }

private:
    // Goes down as far as the chain goes, then removes it bottom up.
    void remove() const;

    std::string top_;
    std::string name_;
    int levels_;
};

}  // namespace stepcount::testing::rows
