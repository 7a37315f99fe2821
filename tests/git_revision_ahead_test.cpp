// A revision counted ahead of its walk, a batch of files at a time in the
// order the repository reads them quickest, gives the rows and the
// messages of a walk that counts each file as it comes to it, whatever the
// batch and the number of jobs: with files stored as deltas and loose, one
// that cannot be read, folders of the same tree, links and a submodule, and
// a tree read before in part or whole.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "git/repository.h"
#include "runs/language_counting.h"
#include "support/git_repos.h"
#include "walk/git_version.h"
#include "walk/revision_ahead.h"
#include "walk/row_pipeline.h"

namespace stepcount::testing {
namespace {

// What a walk hands its observers, with every figure of a file and the
// counters' dialogs among them.
class RowLog : public CallLog {
public:
    void onFile(const WalkedFile& file) override {
        std::string call = std::string(file.folder) + " | " + std::string(file.name) + ' ' +
                           std::to_string(static_cast<int>(file.language)) + ' ' +
                           std::to_string(file.facts.size) + ' ' + std::to_string(file.facts.modified);
        std::visit([&call](const auto& r) {
            if constexpr (requires { r.ulReadLines; }) {
                for (const std::uint32_t figure :
                     {r.ulReadLines, r.ulCommentLines, r.ulBlankLines, r.ulRealSteps, r.ulTotalSteps}) {
                    (call += ' ') += std::to_string(figure);
                }
            }
            if constexpr (requires { r.ulPropertySteps; }) (call += " p") += std::to_string(r.ulPropertySteps);
        }, file.count);
        calls.push_back(std::move(call));
    }
    void onNotice(std::string_view path, std::string_view reason) override {
        calls.push_back(std::string(path) + " notice " + std::string(reason));
    }
};

class GitRevisionAheadTest : public GitTest {
protected:
    // The rows of revision `revision`, counted with `jobs` jobs, ahead of the
    // walk in batches of `batch` files, or each as the walk comes to it
    // when `batch` is 0.
    std::vector<std::string> rowsOf(const GitRepo& repo, const std::string& revision, unsigned jobs,
                                     std::size_t batch) {
        const LanguageId languages[] = {LanguageId::VB, LanguageId::VC, LanguageId::SQL,
                                        LanguageId::HTML};
        LanguageCounting counting(LanguageSet::several(languages));
        RowLog log;
        {
            RowPipeline rows(counting, log, log, jobs);
            GitVersionSide side(repo.path(), git::Repository::open(repo.path())->resolve(revision, ""),
                                revision);
            if (batch > 0) side.countAhead(rows, batch);
            walkVersion(side, rows);
        }
        return log.calls;
    }
};

TEST_F(GitRevisionAheadTest, RowsAndMessagesOfEveryBatchAndJobsAsWhenCountedInTurn) {
    const GitRepo repo = GitRepo::create(temp.at("repo"));
    std::filesystem::copy(STEPCOUNT_SOURCE_DIR "/samples", repo.at("samples"),
                          std::filesystem::copy_options::recursive);
    // Files much alike, in many folders: stored as deltas of each other.
    for (int file = 0; file < 60; ++file) {
        std::string text = "/* file " + std::to_string(file) + " */\n";
        for (int line = 0; line < 80; ++line) {
            text += "int v" + std::to_string(line) + " = " + std::to_string(line * (file % 7)) + ";\n";
        }
        const std::string folder = "deep/" + std::to_string(file % 5) + "/" + std::to_string(file % 3);
        repo.write(folder + "/f" + std::to_string(file) + (file % 4 == 0 ? ".sql" : ".c"), text);
    }
    // Two folders of the same tree, and the same file twice in one folder.
    for (const char* twin : {"twin/a", "twin/b"}) {
        repo.write(std::string(twin) + "/x.c", "int x;\n// x\n");
        repo.write(std::string(twin) + "/in/y.js", "var y;\n");
    }
    repo.write("twin/c.c", "int x;\n// x\n");
    repo.write("notes.txt", "not counted\n");
    std::filesystem::create_symlink("samples", repo.at("link"));
    repo.addSubmodule("lib", temp.at("library"));
    repo.commitAll(kFirstCommit, "v1");
    repo.git("repack -a -d -q");
    // Loose: a change, and a file whose object is then damaged.
    repo.write("deep/0/0/f0.sql", "select 0;\n");
    repo.write("deep/2/broken.c", "int broken;\n");
    repo.commitAll(kSecondCommit, "v2");
    const std::string broken = repo.git("rev-parse v2:deep/2/broken.c").substr(0, 40);
    const std::string object = repo.at(".git/objects/" + broken.substr(0, 2) + '/' + broken.substr(2));
    std::filesystem::permissions(object, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    repo.write(".git/objects/" + broken.substr(0, 2) + '/' + broken.substr(2), "damaged");

    const std::vector<std::string> inTurn = rowsOf(repo, "v2", 1, 0);
    // What the rows must show, so that the comparison tells something.
    ASSERT_GT(inTurn.size(), 100u);
    const auto has = [&inTurn](const std::string& start) {
        return std::count_if(inTurn.begin(), inTurn.end(),
                             [&](const std::string& call) { return call.starts_with(start); });
    };
    EXPECT_EQ(has("dialog: Cannot read file \"v2/deep/2/broken.c\""), 1);
    const std::string html = std::to_string(static_cast<int>(LanguageId::HTML));
    const std::string yRow = " | y.js " + html + " 7 " + std::to_string(kSecondCommit) + " 1 0 0 1 1";
    EXPECT_EQ(has("v2/twin/a/in" + yRow), 1);
    EXPECT_EQ(has("v2/twin/b/in" + yRow), 1);
    EXPECT_EQ(has("v2/link notice "), 1);
    EXPECT_EQ(has("v2/lib notice "), 1);
    for (const unsigned jobs : {1U, 3U}) {
        for (const std::size_t batch : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{64},
                                        GitVersionSide::kAheadBatch}) {
            SCOPED_TRACE(std::to_string(jobs) + " jobs, batches of " + std::to_string(batch));
            EXPECT_EQ(rowsOf(repo, "v2", jobs, batch), inTurn);
        }
    }
    EXPECT_EQ(rowsOf(repo, "v1", 2, GitVersionSide::kAheadBatch), rowsOf(repo, "v1", 1, 0));

}

// What the packs hold, which tells whether counting ahead pays: nothing
// for loose objects, no deltas for a pack made without, most of them deltas
// for a pack of files much alike; counting ahead pays for packs mostly of
// deltas larger than the bases kept in the walk's order.
TEST_F(GitRevisionAheadTest, WhatThePacksHoldAndWhetherCountingAheadPays) {
    std::string same;
    for (int line = 0; line < 40; ++line) same += "int same" + std::to_string(line) + ";\n";
    // The same tree, its objects stored as `repack` leaves them.
    const auto repoOf = [&](const std::string& name, const std::string& repack) {
        const GitRepo repo = GitRepo::create(temp.at(name));
        for (int file = 0; file < 40; ++file) {
            repo.write("src/" + std::to_string(file % 4) + "/f" + std::to_string(file) + ".c",
                       "int f" + std::to_string(file) + ";\n" + same);
        }
        repo.commitAll(kFirstCommit, "v1");
        if (!repack.empty()) repo.git(repack);
        return repo;
    };
    const auto packedOf = [](const GitRepo& repo) {
        return git::Repository::open(repo.path())->packedObjects();
    };
    const git::PackedObjects loose = packedOf(repoOf("loose", ""));
    EXPECT_EQ(loose.count, 0u);
    EXPECT_EQ(loose.bytes, 0u);
    EXPECT_EQ(loose.deltaShare, 0.0);
    const GitRepo wholeRepo = repoOf("whole", "repack -a -d -q --window=0");
    const git::PackedObjects whole = packedOf(wholeRepo);
    EXPECT_EQ(whole.count, 47u);   // 40 files, 6 trees (the root, src, its 4 folders), the commit
    // The pack's objects lie between its head (12 bytes) and its checksum
    // (20 bytes).
    std::uint64_t packBytes = 0;
    for (const auto& file : std::filesystem::directory_iterator(wholeRepo.at(".git/objects/pack"))) {
        if (file.path().extension() == ".pack") packBytes += std::filesystem::file_size(file.path());
    }
    EXPECT_EQ(whole.bytes, packBytes - 32);
    EXPECT_EQ(whole.deltaShare, 0.0);
    const git::PackedObjects deltas = packedOf(repoOf("deltas", "repack -a -d -q --window=250"));
    EXPECT_EQ(deltas.count, 47u);
    EXPECT_GT(deltas.deltaShare, 0.5);
    EXPECT_LT(deltas.bytes, whole.bytes);

    EXPECT_FALSE(RevisionAhead::pays(loose));
    EXPECT_FALSE(RevisionAhead::pays(whole));
    EXPECT_FALSE(RevisionAhead::pays(deltas));   // small
    constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
    EXPECT_TRUE(RevisionAhead::pays({50000, 40 * kMiB, 0.9}));
    EXPECT_TRUE(RevisionAhead::pays({50000, 40 * kMiB, 0.25}));
    EXPECT_FALSE(RevisionAhead::pays({50000, 40 * kMiB, 0.2}));
    EXPECT_FALSE(RevisionAhead::pays({50000, 32 * kMiB, 0.9}));
}

}  // namespace
}  // namespace stepcount::testing
