// The folder walk itself: the rows it hands out, with the counters' dialogs
// among them, do not depend on how many threads count or on how many
// listings it may keep above the current folder, also in trees deeper than
// the descriptors it keeps open.
#include "runs/language_counting.h"
#include "support/result_rows.h"
#include "support/test_support.h"
#include "walk/folder_walk.h"

namespace stepcount {
namespace {

using testing::TempDir;

// What a walk of `root` counting `languageCode` hands out.
testing::CallLog walk(const std::string& root, int languageCode, const WalkOptions& options,
                      std::function<void(const WalkedFile&)> afterFile = nullptr) {
    testing::CallLog log;
    log.afterFile = std::move(afterFile);
    LanguageCounting counting(*LanguageSet::fromLanguageCode(languageCode));
    walkFolderTree(root, counting, log, log, options);
    return log;
}

// Far more files than are in flight at once, of every language, runs of
// files that fail with a dialog, one file spanning several read chunks, and
// a chain of folders deeper than the window of open descriptors with a file
// before and after the subfolder at every level, counted in one language
// and in several: the observer is called from the walking thread alone.
TEST(FolderWalkTest, RowsAndDialogsDoNotDependOnTheJobsOrTheListingBudget) {
    TempDir dir;
    const char* const kinds[] = {".c", ".sql", ".frm", ".html", ".cob", ".txt", ".bas", ".h"};
    testing::UnreadableFiles unreadable;
    for (int n = 0; n < 1500; ++n) {
        // Built up piece by piece: g++ 12 warns wrongly of "t/m" + a temporary.
        std::string folder = "t/m";
        folder += std::to_string(n % 7) + "/s" + std::to_string(n % 13) + "/";
        const std::string name = folder + "f" + std::to_string(n) + kinds[n % 8];
        if (n % 211 < 12) {
            dir.mkdir(folder);
            unreadable.add(dir.at(name));
            continue;
        }
        std::string bytes;
        for (int line = 0; line < n % 23; ++line) {
            bytes += line % 3 == 0 ? "// c\r\n" : line % 5 == 0 ? "\n" : "x = 1;\n";
        }
        dir.write(name, bytes);
    }
    std::string big;
    while (big.size() < 3 * 128 * 1024) big += "/* a */ x;\r\n  y;\n\n";
    dir.write("t/m3/big.c", big);
    std::string chain = "t/chain";
    for (int level = 0; level < 150; ++level) {
        chain += "/l";
        dir.write(chain + "/a.c", "x;\n");
        dir.write(chain + "/z.c", "y;\n");
    }
    const std::string root = dir.at("t");
    for (const int code : {2, kMultiLanguage + 15, 5}) {
        const testing::CallLog once = walk(root, code, WalkOptions{1});
        // Every entry has its row (files, big.c, m0-m6 with s0-s12, the chain
        // and its levels), and some files of the language failed.
        EXPECT_EQ(once.calls.size() - once.messages.size(), 1500u + 1 + 7 + 7 * 13 + 1 + 150 * 3);
        EXPECT_GE(once.messages.size(), 6u);
        for (const WalkOptions& options : {WalkOptions{1, 0}, WalkOptions{3, 200}, WalkOptions{3, 0},
                                           WalkOptions{8}}) {
            SCOPED_TRACE(::testing::Message() << code << ", jobs " << options.jobs << ", budget "
                                              << options.listingBudget);
            const testing::CallLog log = walk(root, code, options);
            EXPECT_EQ(log.calls, once.calls);
            EXPECT_EQ(log.threads, std::set<std::thread::id>{std::this_thread::get_id()});
        }
    }
}

// A folder listed again when the walk comes back to it shows what it holds
// then: an entry that was added behind the folder the walk was in is met, one
// that went is not.
TEST(FolderWalkTest, AFolderListedAgainGoesOnAfterTheFolderItCameBackFrom) {
#if defined(_WIN32)
    if (testing::underWine()) {
        GTEST_SKIP() << "Wine lists an open folder again as it was when first listed (its restart "
                        "of a listing does not read the folder again, Windows' does)";
    }
#endif
    TempDir dir;
    for (const char* name : {"t/a.c", "t/m/b.c", "t/z.c"}) dir.write(name, "x;\n");
    const std::string root = dir.at("t");
    const auto change = [&](const WalkedFile& file) {
        if (file.name != "b.c") return;
        dir.write("t/n.c", "x;\n");
        std::filesystem::remove(dir.at("t/z.c"));
    };
    EXPECT_EQ(walk(root, 2, WalkOptions{1, 0}, change).calls,
              (std::vector<std::string>{root + " | a.c 1", root + " | m/",
                                        testing::rows::inFolder(root, "m") + " | b.c 1", root + " | n.c 1"}));
}

}  // namespace
}  // namespace stepcount
