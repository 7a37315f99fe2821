// The expected bytes of result files: headers, rows of folders and of
// uncounted and counted files, and the fixed last write that every counted
// file of a test is given; and chains of nested folders with their rows.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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
inline const std::string kCOBOLHeader =
    kColumns + ",\x83" "f\x83o\x83" "b\x83O\x8Ds\x90\x94,\x8C\xA9\x8Fo\x82\xB5\x95\x94\x8Ds\x90\x94,"
    "\x8A\xC2\x8B\xAB\x95\x94\x8Ds\x90\x94,\x83" "f\x81[\x83^\x95\x94\x8Ds\x90\x94,\x8E\xE8\x91\xB1"
    "\x82\xAB\x95\x94\x8Ds\x90\x94\r\n";
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
    const timespec times[2] = {{kWritten, 0}, {kWritten, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

inline std::string folderRow(const std::string& folder, const std::string& name, int commas = 9) {
    return folder + ',' + name + ",Directory" + std::string(commas, ',') + "\r\n";
}
inline std::string uncountedRow(const std::string& folder, const std::string& name, int commas = 9) {
    return folder + ',' + name + ",File" + std::string(commas, ',') + "\r\n";
}
inline std::string countedRow(const std::string& folder, const std::string& name, std::size_t size,
                       const std::string& counts) {
    return folder + ',' + name + ",File," + std::to_string(size) + ',' + kDate + ',' + counts +
           "\r\n";
}
// The row of a file holding the one code line "x;".
inline const std::string kOneLine = "x;\n";
inline std::string oneLineRow(const std::string& folder, const std::string& name) {
    return countedRow(folder, name, kOneLine.size(), "1,0,0,1,1,0.0");
}

// Builds `levels` folders named `name`, each inside the one before, below
// `top`, through descriptors (the paths may exceed the system's limit).
// Every folder gets an empty e.txt; the last also gets f.c.
inline void buildChain(const std::string& top, const std::string& name, int levels) {
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < levels; ++level) {
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0700), 0) << "level " << level;
        const int child = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(::openat(fd, "e.txt", O_WRONLY | O_CREAT, 0600));
        ::close(fd);
        fd = child;
        ASSERT_GE(fd, 0);
    }
    ::close(::openat(fd, "e.txt", O_WRONLY | O_CREAT, 0600));
    const int source = ::openat(fd, "f.c", O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(::write(source, kOneLine.data(), kOneLine.size()), ssize_t(kOneLine.size()));
    const timespec times[2] = {{kWritten, 0}, {kWritten, 0}};
    ::futimens(source, times);
    ::close(source);
    ::close(fd);
}

// The rows of such a chain: each folder's row, the two files at the bottom,
// then on the way back up the e.txt of every folder.
inline std::string chainRows(const std::string& top, const std::string& name, int levels) {
    std::vector<std::string> folders{top};
    std::string rows;
    for (int level = 0; level < levels; ++level) {
        rows += folderRow(folders.back(), name);
        folders.push_back(folders.back() + '/' + name);
    }
    rows += uncountedRow(folders.back(), "e.txt") + oneLineRow(folders.back(), "f.c");
    for (int level = levels - 1; level >= 0; --level) rows += uncountedRow(folders[level], "e.txt");
    return rows;
}

}  // namespace stepcount::testing::rows
