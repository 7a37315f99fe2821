// Aligns the steps of two versions of a file and counts what changed.
//
// The figures. An alignment matches steps of OLD with equal steps of NEW, in
// order on both sides, as many as possible: unchanged is the number of
// matches, the length of a longest common subsequence, whatever alignment is
// chosen. A hunk is a maximal run of unmatched steps between two matches (or
// the start or end): d steps of OLD and a steps of NEW. In each hunk
// changed = min(d, a), added = a - changed, deleted = d - changed; the
// figures are the sums over the hunks. So OLD = unchanged + changed + deleted
// and NEW = unchanged + changed + added, always.
//
// The alignment, step by step:
// 1. The common start of OLD and NEW is matched as far as it goes, then the
//    common end of what is left.
// 2. Of the rest, the steps whose key occurs on one side only are set aside:
//    they can never match, and end up in the hunk between the matches around
//    them. What remains are the reduced sequences.
// 3. A range of the reduced sequences (at first all of them) is aligned by
//    matching its common start, then its common end, and, if steps are left
//    on both sides, splitting it at a point of a shortest edit path found by
//    Myers' O(ND) search for the middle snake; the two parts are aligned in
//    the same way, the first before the second.
// 4. The search, in the edit graph of the range (diagonal k = position in OLD
//    minus position in NEW), runs in rounds of one more edit each. A round
//    is a pass from the start (on each diagonal the path that reaches
//    furthest: it comes from whichever neighbouring diagonal reaches further
//    along OLD, then follows every match), then a pass from the end likewise.
//    In each pass the diagonals are visited from the highest to the lowest.
//    When the two sides of the range differ in length by an odd number, the
//    pass from the start looks for an overlap with the paths from the end and
//    splits at the end of the run of matches it has just followed; when by an
//    even number, the pass from the end looks and splits at the start of its
//    run of matches. The first overlap found wins: of the shortest paths
//    through the middle of the range, the one on the highest diagonal, which
//    has passed the most steps of OLD for its steps of NEW.
//
// What this means for where hunks fall, where several alignments are
// equally long:
// - Equal steps are matched from the front: a step added to or removed from
//   a run of equal steps is the run's last. OLD "}" "}" against NEW "}" "}"
//   "}": the third "}" is added. OLD "X" "}" "}" against NEW "}" "}" "}" "Z"
//   (X and Z set aside): the first two "}" match, so X is deleted and "}"
//   "Z" added (not one changed and one added).
// - Where blocks have traded places, the block that comes first in OLD is
//   the one counted deleted where it was and added where it went: OLD
//   "x" "y" "z" "A" "B" "C" against NEW "A" "B" "C" "x" "y" "z" gives 3
//   unchanged, 3 deleted, 3 added, whichever block moved.
// The figures depend on the two sequences only: the same on every run and
// every platform, whatever the thread or the order of the pairs.
//
// The limit. The alignment is exact (a longest common subsequence) whenever
// the edit cost D of the reduced sequences (their steps minus twice the
// matches) is at most 40,000. That covers every pair of up to 20,000 steps
// each, whatever their content (D < 20,000 + 20,000), and every pair with at
// most 20,000 unmatched steps on each side, such as two files of 200,000 steps
// of which a tenth changed (D counts only unmatched steps). Beyond the limit
// the result is marked approximate. The limit is on D rather than on the work
// done so that it can be told to the users in their terms and holds the same
// on every machine: the work is about (D / 2)^2 steps of the search's inner
// loop, plus the runs of matches it follows, so around 4 * 10^8 at D = 40,000
// (a second or two; bench/align_bench.cpp), and a budget of work large
// enough for the worst pairs within the promise would stop hardly any pair
// earlier.
//
// Finding out whether D is within the limit: a search that gives up at a
// cost of 2,000 settles the pairs that differ little, and is retried with
// the limit doubled each time up to 40,000. Before a retry that would cost
// more than counting the length of a longest common subsequence by the
// bit-parallel method (about one machine word per step of OLD and 64 steps
// of NEW, less for rare keys), the count tells D instead, so that a pair far
// beyond the limit is found out cheaply.
//
// The cheaper method for pairs beyond the limit: the same division, but each
// search stops after 256 rounds and then splits at the point furthest from
// its end of the range (by steps of OLD plus steps of NEW) that a path from
// either end reached, the start first and lower diagonals first among equal
// points. Every match it makes is real, so the result is still a common
// subsequence (unchanged is never more than the true figure, the figures
// still add up). It takes time proportional to (OLD + NEW) * 256, after the
// tries above.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "diff/change_figures.h"

namespace stepcount::diff {

struct AlignmentResult {
    ChangeFigures figures;
    bool approximate = false;  // the cheaper method was used: unchanged may be too low
};

// Matched steps as (OLD index, NEW index), ascending in both.
using MatchList = std::vector<std::pair<std::size_t, std::size_t>>;

// Where the exact alignment ends. Only tests lower them.
struct AlignmentLimits {
    std::uint64_t maxExactCost = 40'000;  // edit cost D of the reduced sequences
    std::uint64_t firstTryCost = 2'000;   // the first search's, before counting
    bool countCommonLength = true;        // count when cheaper than searching to the limit
    std::uint32_t fallbackRounds = 256;   // search rounds of the cheaper method per split
};

// Aligns pairs one after the other, keeping its working memory from pair to
// pair. One per thread.
class StepAligner {
public:
    explicit StepAligner(AlignmentLimits limits = {}) : limits_(limits) {}

    // Aligns the keys of OLD and NEW (numbers from a KeyInterner: equal
    // numbers, equal steps) and, when `matches` is given, replaces its content
    // with the matched steps. Throws std::length_error for a side of 2^31 - 4
    // steps or more.
    AlignmentResult align(std::span<const std::uint32_t> oldKeys, std::span<const std::uint32_t> newKeys,
                          MatchList* matches = nullptr);

private:
    struct Task {
        std::int32_t xBegin, xEnd, yBegin, yEnd;
        bool snake;  // the steps are matched one to one: nothing to search
    };
    struct Split {
        std::int32_t x, y;
    };
    class Tally;

    void reduce(std::span<const std::uint32_t> oldKeys, std::span<const std::uint32_t> newKeys,
                std::size_t offset);
    bool alignExactly(Tally& tally);
    bool alignReduced(Tally& tally, std::uint64_t maxCost, bool cheaply);
    static std::uint64_t searchWork(std::uint64_t cost);
    std::uint64_t countingWork() const;
    std::uint64_t commonLength();
    bool findSplit(const Task& task, std::int64_t maxCost, Split& split);
    Split cheapSplit(const Task& task, std::int64_t forwardLow, std::int64_t forwardHigh, std::int64_t backwardLow,
                     std::int64_t backwardHigh) const;

    AlignmentLimits limits_;
    std::uint64_t lowestCost_ = 0;       // a lower bound of the cost of the reduced sequences
    std::size_t keyCount_ = 0;           // keys are numbered below
    std::vector<std::uint32_t> count_;   // occurrences of each key: OLD, NEW interleaved
    std::vector<std::uint32_t> keyMap_;  // keys renumbered densely, when they are not
    std::vector<std::uint32_t> a_, b_;   // the reduced sequences
    std::vector<std::int32_t> aAt_, bAt_;  // their positions in OLD and NEW
    std::vector<std::int32_t> forward_, backward_;  // furthest points by diagonal
    std::vector<Task> tasks_;
    // commonLength: positions of each key in b_, bit rows, the bit vector.
    std::vector<std::uint32_t> firstAt_, nextAt_, positions_;
    std::vector<std::uint64_t> rowBits_, bits_;
};

// Aligns with the calling thread's own StepAligner.
AlignmentResult alignSteps(std::span<const std::uint32_t> oldKeys, std::span<const std::uint32_t> newKeys,
                           MatchList* matches = nullptr);

}  // namespace stepcount::diff
