// The folder walk itself: the rows it hands out do not depend on how many
// listings it may keep above the current folder or on how many threads
// count, also in trees deeper than the descriptors it keeps open.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runs/language_counting.h"
#include "support/result_rows.h"
#include "support/test_support.h"
#include "walk/folder_walk.h"

namespace stepcount {
namespace {

using testing::TempDir;
using testing::rows::inFolder;

class RowsOf : public WalkObserver {
public:
    void onFolder(std::string_view folder, std::string_view name) override {
        rows.push_back(std::string(folder) + " | " + std::string(name) + "/");
    }
    void onFile(const WalkedFile& file) override {
        rows.push_back(std::string(file.folder) + " | " + std::string(file.name) +
                       (isCounted(file.count) ? " counted" : ""));
    }
    void onFolderFailure(std::string_view path, int errorNumber) override {
        rows.push_back(std::string(path) + " failed " + std::to_string(errorNumber));
    }
    std::vector<std::string> rows;
};

std::vector<std::string> walk(const std::string& root, const WalkOptions& options) {
    LanguageCounting counting(LanguageSet::alone(LanguageId::VC));
    RowsOf observer;
    testing::RecordingDisplay display;
    walkFolderTree(root, counting, observer, display, options);
    EXPECT_TRUE(display.messages.empty());
    return observer.rows;
}

// Folders with files before and after their subfolders, on several levels,
// and a chain deeper than the window of open descriptors with a file at
// every level.
TEST(FolderWalkTest, RowsDoNotDependOnTheListingBudgetOrTheJobs) {
    TempDir dir;
    for (const char* name : {"a.c", "m/b.c", "m/n/c.c", "m/n/z.txt", "m/o/d.c", "m/p.c", "x/y/z/e.c",
                             "x/y/f.c", "zz.c"}) {
        dir.write(std::string("t/") + name, "x;\n");
    }
    std::string chain = "t/chain";
    for (int level = 0; level < 150; ++level) {
        chain += "/l";
        dir.write(chain + "/a.c", "x;\n");
        dir.write(chain + "/z.c", "y;\n");
    }
    const std::string root = dir.at("t");
    const std::vector<std::string> expected = walk(root, WalkOptions{1});
    ASSERT_EQ(expected.size(), 9u + 7u + 150u * 3u);
    EXPECT_EQ(expected.front(), root + " | a.c counted");
    EXPECT_EQ(expected.back(), root + " | zz.c counted");
    for (const unsigned jobs : {1U, 3U}) {
        for (const std::size_t budget : {std::size_t{0}, std::size_t{200}}) {
            SCOPED_TRACE(::testing::Message() << "jobs " << jobs << ", budget " << budget);
            EXPECT_EQ(walk(root, WalkOptions{jobs, budget}), expected);
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
    dir.write("t/a.c", "x;\n");
    dir.write("t/m/b.c", "x;\n");
    dir.write("t/z.c", "x;\n");
    const std::string root = dir.at("t");

    class ChangeInside : public RowsOf {
    public:
        explicit ChangeInside(const TempDir& dir) : dir_(dir) {}
        void onFile(const WalkedFile& file) override {
            RowsOf::onFile(file);
            if (file.name == "b.c") {
                dir_.write("t/n.c", "x;\n");
                std::filesystem::remove(dir_.at("t/z.c"));
            }
        }

    private:
        const TempDir& dir_;
    };
    LanguageCounting counting(LanguageSet::alone(LanguageId::VC));
    ChangeInside observer(dir);
    testing::RecordingDisplay display;
    walkFolderTree(root, counting, observer, display, WalkOptions{1, 0});
    EXPECT_EQ(observer.rows, (std::vector<std::string>{root + " | a.c counted", root + " | m/",
                                                       inFolder(root, "m") + " | b.c counted",
                                                       root + " | n.c counted"}));
}

}  // namespace
}  // namespace stepcount
