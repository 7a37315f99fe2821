// The platform's rules of Windows paths, which are plain text work and are
// checked on every system; the thread-exit cleanup of the system the tests
// run on; and, on Windows, the system calls behind the platform interface:
// names outside every code page, long paths, folder identity, the cutting
// back of the result file, the console's Ctrl-C.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/thread_exit.h"
#include "platform/windows_paths.h"

#if defined(_WIN32)
#include <csignal>
#include <fstream>
#include <iterator>

#include "platform/append_file.h"
#include "platform/console.h"
#include "platform/directory.h"
#include "platform/exception.h"
#include "platform/stop_request.h"
#include "platform/system_windows.h"
#endif

namespace stepcount {
namespace {

TEST(WindowsPaths, RootsOfDrivesSharesAndLongForms) {
    const std::pair<std::string_view, std::size_t> cases[] = {
        {"C:\\src", 3}, {"c:/src", 3}, {"C:", 2}, {"C:src", 2}, {"\\src", 1}, {"/src", 1},
        {"src\\a", 0}, {"", 0}, {"1:\\src", 0},
        {"\\\\server\\share\\src", 15}, {"\\\\server\\share", 14}, {"//server/share/src", 15},
        {"\\\\?\\C:\\src", 7}, {"\\\\?\\C:", 6},
        {"\\\\?\\UNC\\server\\share\\src", 21}, {"\\\\?\\unc\\server\\share", 20},
        {"\\\\?\\UNCX\\src", 9}, {"\\\\?\\Volume{1234}\\src", 17}, {"\\\\.\\pipe\\x", 9},
    };
    for (const auto& [path, root] : cases) {
        EXPECT_EQ(windows::rootLengthOf(path), root) << path;
        const std::wstring wide = windows::wide(path);
        EXPECT_EQ(windows::rootLengthOf(std::wstring_view(wide)), root) << path;
    }
}

TEST(WindowsPaths, LongPathFormsKeepOnlyTheRootsSeparator) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\src", L"\\\\?\\C:\\src"}, {L"C:\\src\\", L"\\\\?\\C:\\src"},
        {L"C:\\", L"\\\\?\\C:\\"},
        {L"\\\\server\\share\\src\\", L"\\\\?\\UNC\\server\\share\\src"},
        {L"\\\\server\\share\\", L"\\\\?\\UNC\\server\\share\\"},
        {L"\\\\?\\C:\\src", L"\\\\?\\C:\\src"}, {L"\\\\.\\pipe\\x", L"\\\\.\\pipe\\x"},
    };
    for (const auto& [full, expected] : cases) {
        EXPECT_EQ(windows::longPathForm(full), expected) << windows::utf8(full);
    }
}

TEST(WindowsPaths, AnEntrysPathIsItsFoldersPathAndItsNameDotDotItsParent) {
    const std::tuple<std::wstring, std::string, std::wstring> cases[] = {
        {L"\\\\?\\C:\\a", "b", L"\\\\?\\C:\\a\\b"}, {L"\\\\?\\C:\\", "b", L"\\\\?\\C:\\b"},
        {L"\\\\?\\C:\\a", ".", L"\\\\?\\C:\\a"}, {L"\\\\?\\C:\\a\\b", "..", L"\\\\?\\C:\\a"},
        {L"\\\\?\\C:\\a", "..", L"\\\\?\\C:\\"}, {L"\\\\?\\C:\\", "..", L"\\\\?\\C:\\"},
        {L"\\\\?\\UNC\\server\\share\\a", "..", L"\\\\?\\UNC\\server\\share\\"},
        // A name is added as it is: trailing dots and spaces are kept.
        {L"\\\\?\\C:\\a", "b. ", L"\\\\?\\C:\\a\\b. "},
        // Korean and an emoji (a surrogate pair in UTF-16).
        {L"\\\\?\\C:\\a", "\xED\x95\x9C\xF0\x9F\x98\x80", L"\\\\?\\C:\\a\\\xD55C\xD83D\xDE00"},
    };
    for (const auto& [folder, name, expected] : cases) {
        EXPECT_EQ(windows::childSystemPath(folder, name), expected) << name;
    }
}

TEST(ThreadExitSlot, HandsEachThreadsValueToItsReleaseWhenTheThreadEnds) {
    static std::mutex lock;
    static std::vector<int> released;
    static ThreadExitSlot slot([](void* value) {
        const std::lock_guard<std::mutex> guard(lock);
        released.push_back(*static_cast<int*>(value));
    });
    released.clear();
    int values[] = {1, 2, 3, 4};
    std::vector<std::thread> threads;
    std::atomic<int> set{0};
    for (int& value : values) {
        threads.emplace_back([&value, &set] {
            if (slot.get() == nullptr && slot.set(&value) && slot.get() == &value) ++set;
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(set.load(), 4);
    std::sort(released.begin(), released.end());
    EXPECT_EQ(released, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(slot.get(), nullptr);   // this thread's value was never set
}

#if defined(_WIN32)

// Removes a tree by its system path, at any length of path.
void removeTree(const std::wstring& path) {
    const UniqueFd fd = openFolder(windows::utf8(path));
    std::vector<ListedEntry> entries;
    if (fd.valid() && listFolder(fd.get(), entries)) {
        for (const ListedEntry& entry : entries) {
            const std::wstring child = windows::childSystemPath(path, entry.name);
            if (entry.type == EntryType::Folder) {
                removeTree(child);
            } else {
                ::DeleteFileW(child.c_str());
            }
        }
    }
    ::RemoveDirectoryW(path.c_str());
}

// A folder of its own below the temporary folder, removed at the end.
class WindowsTree : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        root_ = std::filesystem::temp_directory_path() /
                ("stepcount_" + test + "_" + std::to_string(::GetCurrentProcessId()));
        rootPath_ = windows::utf8(root_.native());
        removeTree(windows::systemPath(rootPath_));
        std::filesystem::create_directories(root_);
    }
    void TearDown() override { removeTree(windows::systemPath(rootPath_)); }

    // Makes a folder or a file through the system's UTF-16 "\\?\" paths.
    void makeFolder(const std::string& relative) {
        ASSERT_TRUE(::CreateDirectoryW(windows::systemPath(rootPath_ + "\\" + relative).c_str(),
                                       nullptr))
            << relative;
    }
    void makeFile(const std::string& relative, std::string_view bytes) {
        const HANDLE file = ::CreateFileW(windows::systemPath(rootPath_ + "\\" + relative).c_str(),
                                          GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << relative;
        DWORD written = 0;
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        ::CloseHandle(file);
    }

    std::filesystem::path root_;
    std::string rootPath_;
};

constexpr const char* kKorean = "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4";   // 한국어
constexpr const char* kEmoji = "\xF0\x9F\x98\x80";                        // 😀

// A folder whose name no code page holds, and a file in it: listed, typed and
// opened by their names; ".." leads back to the folder the walk came from.
TEST_F(WindowsTree, NamesNoCodePageHoldsAreListedTypedAndOpened) {
    const std::string folder = std::string(kKorean) + kEmoji;
    const std::string file = std::string(kKorean) + ".c";
    makeFolder(folder);
    makeFile(folder + "\\" + file, "int a;\r\n");
    const UniqueFd rootFd = openFolder(rootPath_);
    std::vector<ListedEntry> entries;
    ASSERT_TRUE(listFolder(rootFd.get(), entries));
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(entries[0].name, folder);
    EXPECT_EQ(entries[0].type, EntryType::Folder);
    EXPECT_EQ(inspectEntry(rootFd.get(), folder).type, EntryType::Folder);

    const UniqueFd sub = openSubfolder(rootFd.get(), folder);
    FileFacts facts;
    const FileLocation location(rootPath_ + "\\" + folder + "\\" + file, sub.get(), file);
    EXPECT_TRUE(openRegularFileForReading(location, facts).valid());
    EXPECT_EQ(facts.size, 8U);

    FolderIdentity top, parent, child;
    ASSERT_TRUE(identifyFolder(rootFd.get(), top));
    ASSERT_TRUE(identifyFolder(sub.get(), child));
    const UniqueFd up = openSubfolder(sub.get(), "..");
    ASSERT_TRUE(identifyFolder(up.get(), parent));
    EXPECT_EQ(parent, top);
    EXPECT_FALSE(child == top);
    EXPECT_NE(child.inode, 0U);
}

TEST_F(WindowsTree, FoldersAndFilesPastTheOldPathLimitOpenByPathAndRelatively) {
    std::string relative;
    for (int level = 0; level < 30; ++level) {
        if (level > 0) relative += '\\';
        relative += "folder_level_" + std::to_string(level);
        makeFolder(relative);
    }
    makeFile(relative + "\\deep.c", "x\n");
    const std::string deepFolder = rootPath_ + "\\" + relative;
    ASSERT_GT(deepFolder.size(), 300U);

    // By the whole path, with "/" too.
    std::string slashes = deepFolder;
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    for (const std::string& path : {deepFolder, slashes, deepFolder + "\\"}) {
        const UniqueFd fd = openFolder(path);
        ASSERT_TRUE(fd.valid()) << path;
        std::vector<ListedEntry> entries;
        ASSERT_TRUE(listFolder(fd.get(), entries));
        ASSERT_EQ(entries.size(), 1U);
        EXPECT_EQ(entries[0].name, "deep.c");
    }
    // The file by its path and in its folder.
    const UniqueFd fd = openFolder(deepFolder);
    FileFacts facts;
    const FileLocation deepFile(deepFolder + "\\deep.c", fd.get(), "deep.c");
    EXPECT_TRUE(openRegularFileForReading(deepFile, facts).valid());
    EXPECT_EQ(facts.size, 2U);
    EXPECT_TRUE(openRegularFileForReading(FileLocation(deepFolder + "\\deep.c"), facts).valid());
}

// A Windows error's text as the messages quote it: the system's sentence
// without its full stop and line break.
TEST(SystemErrorText, AWindowsErrorIsTheSystemsSentenceWithoutItsEnd) {
    const std::string sharing = systemErrorText(windows::errorNumber(ERROR_SHARING_VIOLATION));
    ASSERT_FALSE(sharing.empty());
    EXPECT_NE(sharing.back(), '\n');
    EXPECT_NE(sharing.back(), '.');
    EXPECT_EQ(sharing.find("Windows error"), std::string::npos) << sharing;
}

// A write that fails part way is cut back to its last whole row (on POSIX:
// BadTreeTest.ResultFileSystemFillsUpPartWay).
TEST_F(WindowsTree, TheResultFileIsCutBackToTheGivenSize) {
    AppendFile file;
    ASSERT_TRUE(file.open(rootPath_ + "/r.csv"));   // either separator
    std::size_t written = 0;
    ASSERT_TRUE(file.write("a\r\nb\r\n", written));
    ASSERT_TRUE(file.truncate(3));
    ASSERT_TRUE(file.write("c\r\n", written));
    ASSERT_TRUE(file.close());
    std::ifstream in(root_ / "r.csv", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "a\r\nc\r\n");
}

// Ctrl-C cannot be sent to a test program that may have no console of its
// own: the handler is called as the console would call it.
TEST(ConsoleControl, CtrlCAndCtrlBreakStopTheRunOnceThenTheSystemEndsTheProgram) {
    clearStopRequest();
    EXPECT_TRUE(console::handleConsoleEvent(CTRL_C_EVENT));
    EXPECT_EQ(stopRequested(), SIGINT);
    EXPECT_EQ(console::interruptNumber(), SIGINT);
    EXPECT_EQ(console::interruptName(SIGINT), "Ctrl-C");
    EXPECT_FALSE(console::handleConsoleEvent(CTRL_BREAK_EVENT));   // a second one
    EXPECT_EQ(stopRequested(), SIGINT);
    clearStopRequest();
    EXPECT_TRUE(console::handleConsoleEvent(CTRL_BREAK_EVENT));
    EXPECT_EQ(stopRequested(), SIGBREAK);
    EXPECT_EQ(console::interruptName(SIGBREAK), "Ctrl-Break");
    clearStopRequest();
    EXPECT_FALSE(console::handleConsoleEvent(CTRL_CLOSE_EVENT));
    EXPECT_EQ(stopRequested(), 0);
}

#endif  // _WIN32

}  // namespace
}  // namespace stepcount
