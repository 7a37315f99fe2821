// Aligning the steps of two versions of a file: unchanged steps against a
// plain longest common subsequence, where hunks fall when alignments tie,
// the limit of the exact alignment and the cheaper method beyond it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diff/alignment.h"

namespace stepcount::diff {
namespace {

using Keys = std::vector<std::uint32_t>;

// One key per character.
Keys letters(std::string_view text) { return Keys(text.begin(), text.end()); }

std::size_t referenceCommonLength(const Keys& a, const Keys& b) {
    std::vector<std::size_t> above(b.size() + 1, 0), row(b.size() + 1, 0);
    for (const std::uint32_t key : a) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            row[j] = key == b[j - 1] ? above[j - 1] + 1 : std::max(above[j], row[j - 1]);
        }
        std::swap(above, row);
    }
    return above[b.size()];
}

// The edit cost left once the common start and end are off and the keys
// found on one side only are set aside.
std::size_t reducedCost(const Keys& a, const Keys& b) {
    std::size_t start = 0;
    while (start < a.size() && start < b.size() && a[start] == b[start]) ++start;
    std::size_t end = 0;
    while (end < a.size() - start && end < b.size() - start && a[a.size() - 1 - end] == b[b.size() - 1 - end]) ++end;
    const Keys aMiddle(a.begin() + start, a.end() - end), bMiddle(b.begin() + start, b.end() - end);
    const auto inBoth = [](const Keys& from, const Keys& other) {
        Keys kept;
        for (const std::uint32_t key : from) {
            if (std::find(other.begin(), other.end(), key) != other.end()) kept.push_back(key);
        }
        return kept;
    };
    const Keys aReduced = inBoth(aMiddle, bMiddle), bReduced = inBoth(bMiddle, aMiddle);
    return aReduced.size() + bReduced.size() - 2 * referenceCommonLength(aReduced, bReduced);
}

// The matches form a common subsequence, as long as the steps unchanged, and
// the figures add up.
void expectConsistent(const Keys& a, const Keys& b, const AlignmentResult& result, const MatchList& matches) {
    ASSERT_EQ(result.figures.unchanged, matches.size());
    for (std::size_t i = 0; i < matches.size(); ++i) {
        const auto [oldAt, newAt] = matches[i];
        ASSERT_TRUE(oldAt < a.size() && newAt < b.size() &&
                    (i == 0 || (oldAt > matches[i - 1].first && newAt > matches[i - 1].second)))
            << "match (" << oldAt << ", " << newAt << ") out of order";
        ASSERT_EQ(a[oldAt], b[newAt]) << "match (" << oldAt << ", " << newAt << ")";
    }
    const ChangeFigures& f = result.figures;
    EXPECT_EQ(f.unchanged + f.changed + f.deleted, a.size());
    EXPECT_EQ(f.unchanged + f.changed + f.added, b.size());
}

Keys randomKeys(std::mt19937& random, std::size_t size, std::uint32_t alphabet) {
    Keys keys(size);
    for (std::uint32_t& key : keys) key = static_cast<std::uint32_t>(random() % alphabet);
    return keys;
}

// Every pair of up to six steps over two keys, and random pairs. Numbers
// that are not a KeyInterner's (far apart, near the top of the range) align
// as their dense equivalents do.
TEST(DiffAlignment, UnchangedIsALongestCommonSubsequence) {
    std::vector<Keys> all;
    for (std::uint32_t bits = 1; bits < 128; ++bits) {  // below the highest bit set
        Keys keys;
        for (std::uint32_t rest = bits; rest > 1; rest >>= 1) keys.push_back(rest & 1);
        all.push_back(keys);
    }
    std::vector<std::pair<Keys, Keys>> pairs;
    for (const Keys& a : all) {
        for (const Keys& b : all) pairs.emplace_back(a, b);
    }
    std::mt19937 random(20240501);
    for (int round = 0; round < 20000; ++round) {
        const auto alphabet = static_cast<std::uint32_t>(1 + random() % 8);
        std::size_t oldSize = random() % 41, newSize = random() % 41;
        if (round % 10 == 0) {  // one side much longer
            oldSize = random() % 4;
            newSize = 40 + random() % 160;
            if (round % 20 == 0) std::swap(oldSize, newSize);
        }
        pairs.emplace_back(randomKeys(random, oldSize, alphabet), randomKeys(random, newSize, alphabet));
    }
    const auto spread = [](Keys keys) {
        for (std::uint32_t& key : keys) key = 0xFFFFFFFFu - key * 0x10000001u;
        return keys;
    };
    MatchList matches, sparse;
    for (const auto& [a, b] : pairs) {
        SCOPED_TRACE(::testing::PrintToString(a) + " " + ::testing::PrintToString(b));
        const AlignmentResult result = alignSteps(a, b, &matches);
        ASSERT_FALSE(result.approximate);
        ASSERT_EQ(result.figures.unchanged, referenceCommonLength(a, b));
        expectConsistent(a, b, result, matches);
        ASSERT_EQ(alignSteps(spread(a), spread(b), &sparse).figures, result.figures);
        ASSERT_EQ(sparse, matches);
    }
}

TEST(DiffAlignment, HunksFallAsDocumented) {
    const struct {
        std::string_view oldKeys, newKeys;
        MatchList matches;
        ChangeFigures figures;
    } cases[] = {
        {"", "", {}, ChangeFigures{0, 0, 0, 0}},
        {"", "abc", {}, ChangeFigures{3, 0, 0, 0}},
        {"abc", "", {}, ChangeFigures{0, 0, 3, 0}},
        {"abc", "xyz", {}, ChangeFigures{0, 3, 0, 0}},
        {"abc", "abc", {{0, 0}, {1, 1}, {2, 2}}, ChangeFigures{0, 0, 0, 3}},
        // One hunk per run of unmatched steps between matches.
        {"aXbYYc", "aZbcWW", {{0, 0}, {2, 2}, {5, 3}}, ChangeFigures{2, 1, 2, 3}},
        // A step added to or removed from a run of equal steps is its last.
        {"}}", "}}}", {{0, 0}, {1, 1}}, ChangeFigures{1, 0, 0, 2}},
        {"}}}", "}}", {{0, 0}, {1, 1}}, ChangeFigures{0, 0, 1, 2}},
        {"a}}b", "a}}}b", {{0, 0}, {1, 1}, {2, 2}, {3, 4}}, ChangeFigures{1, 0, 0, 4}},
        {"X}}", "}}}Z", {{1, 0}, {2, 1}}, ChangeFigures{2, 0, 1, 2}},
        // Of blocks that traded places, the one first in OLD is deleted
        // and added again.
        {"xyzABC", "ABCxyz", {{3, 0}, {4, 1}, {5, 2}}, ChangeFigures{3, 0, 3, 3}},
        {"ABCxyz", "xyzABC", {{3, 0}, {4, 1}, {5, 2}}, ChangeFigures{3, 0, 3, 3}},
        {"ab", "ba", {{1, 0}}, ChangeFigures{1, 0, 1, 1}},
    };
    for (const auto& c : cases) {
        const Keys a = letters(c.oldKeys), b = letters(c.newKeys);
        MatchList matches = {{7, 7}};  // replaced, not added to
        const AlignmentResult result = alignSteps(a, b, &matches);
        EXPECT_EQ(matches, c.matches) << c.oldKeys << " -> " << c.newKeys;
        EXPECT_EQ(result.figures, c.figures) << c.oldKeys << " -> " << c.newKeys;
        EXPECT_FALSE(result.approximate);
    }
}

// With the limit lowered: approximate exactly when the cost of the reduced
// sequences exceeds it, whichever way that is found out; exact below it;
// a common subsequence (so never more unchanged steps than the truth) above.
TEST(DiffAlignment, ApproximateExactlyBeyondTheLimit) {
    std::mt19937 random(99);
    // The limit, the first try's, whether to count, the rounds of the cheaper method.
    const AlignmentLimits settings[] = {{0, 2000, true, 256}, {3, 2, true, 1},   {3, 3, false, 2},    {11, 2, false, 3},
                                        {10, 2, true, 3},     {40, 5, true, 2},   {40, 5, false, 20},  {100, 100, true, 5},
                                        {300, 1, true, 8},    {500, 1, true, 8},  {700, 1, true, 8}};
    for (const AlignmentLimits& limits : settings) {
        const std::uint64_t limit = limits.maxExactCost;
        const bool longer = limits.firstTryCost == 1;  // sequences of several machine words, sparse keys
        StepAligner aligner(limits);
        int approximate = 0;
        for (int round = 0; round < (longer ? 300 : 1500); ++round) {
            const auto alphabet = static_cast<std::uint32_t>(longer ? 50 + random() % 300 : 2 + random() % 10);
            const std::size_t most = longer ? 600 : 120;
            const Keys a = randomKeys(random, random() % most, alphabet);
            const Keys b = randomKeys(random, random() % most, alphabet);
            MatchList matches;
            const AlignmentResult result = aligner.align(a, b, &matches);
            const std::size_t common = referenceCommonLength(a, b);
            ASSERT_EQ(result.approximate, reducedCost(a, b) > limit) << "limit " << limit;
            if (result.approximate) {
                ++approximate;
                EXPECT_LE(result.figures.unchanged, common);
            } else {
                EXPECT_EQ(result.figures.unchanged, common);
            }
            expectConsistent(a, b, result, matches);
        }
        EXPECT_GT(approximate, longer ? 20 : 100) << "limit " << limit;  // the cheaper method was tried
    }
}

// The edge of what is always exact: two files of 20,000 steps whose cost is
// as high as their content allows.
TEST(DiffAlignment, TwentyThousandStepsAreExactWhateverTheirContent) {
    Keys a(20000, 0), b(20000, 1);
    a.back() = 1;
    b.back() = 0;
    const AlignmentResult result = alignSteps(a, b);
    EXPECT_FALSE(result.approximate);
    EXPECT_EQ(result.figures, (ChangeFigures{19999, 0, 19999, 1}));
}

// And two files of 200,000 steps with nearly a tenth of each unmatched: in
// each block of 100 steps, ten are reversed, so only one of them can match.
TEST(DiffAlignment, TwoHundredThousandStepsATenthChangedAreExact) {
    Keys a(200000), b;
    for (std::uint32_t i = 0; i < a.size(); ++i) a[i] = i;
    b = a;
    for (std::size_t block = 0; block < b.size(); block += 100) std::reverse(b.begin() + block + 45, b.begin() + block + 55);
    const AlignmentResult result = alignSteps(a, b);
    EXPECT_FALSE(result.approximate);
    EXPECT_EQ(result.figures.unchanged, 200000u - 2000u * 9);
    EXPECT_EQ(result.figures.added + result.figures.changed, 2000u * 9);
}

}  // namespace
}  // namespace stepcount::diff
