#include "diff/alignment.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <stdexcept>

namespace stepcount::diff {

namespace {

// Largest side accepted: positions and diagonals are kept in 32 bits.
constexpr std::size_t kMaxSteps = (std::size_t{1} << 31) - 4;

constexpr std::int64_t kUnlimited = std::numeric_limits<std::int64_t>::max();

constexpr std::int32_t kNoForward = -1;
constexpr std::int32_t kNoBackward = std::numeric_limits<std::int32_t>::max();

}  // namespace

// Adds up the figures from the matches, given in ascending order: the steps
// between two matches are a hunk.
class StepAligner::Tally {
public:
    explicit Tally(MatchList* matches) : matches_(matches) {}

    void match(std::size_t oldAt, std::size_t newAt) {
        hunk(oldAt - nextOld_, newAt - nextNew_);
        ++figures_.unchanged;
        nextOld_ = oldAt + 1;
        nextNew_ = newAt + 1;
        if (matches_ != nullptr) matches_->emplace_back(oldAt, newAt);
    }

    struct Mark {
        ChangeFigures figures;
        std::size_t nextOld, nextNew, matchCount;
    };
    Mark mark() const { return {figures_, nextOld_, nextNew_, matches_ != nullptr ? matches_->size() : 0}; }
    void rewind(const Mark& mark) {
        figures_ = mark.figures;
        nextOld_ = mark.nextOld;
        nextNew_ = mark.nextNew;
        if (matches_ != nullptr) matches_->resize(mark.matchCount);
    }

    ChangeFigures finish(std::size_t oldSize, std::size_t newSize) {
        hunk(oldSize - nextOld_, newSize - nextNew_);
        return figures_;
    }

private:
    void hunk(std::size_t deleted, std::size_t added) {
        const std::size_t changed = std::min(deleted, added);
        figures_.changed += changed;
        figures_.deleted += deleted - changed;
        figures_.added += added - changed;
    }

    MatchList* matches_;
    ChangeFigures figures_;
    std::size_t nextOld_ = 0;
    std::size_t nextNew_ = 0;
};

AlignmentResult StepAligner::align(std::span<const std::uint32_t> oldKeys, std::span<const std::uint32_t> newKeys,
                                   MatchList* matches) {
    if (oldKeys.size() > kMaxSteps || newKeys.size() > kMaxSteps) {
        throw std::length_error("Too many steps in a file to compare");
    }
    if (matches != nullptr) matches->clear();
    Tally tally(matches);
    const std::size_t shorter = std::min(oldKeys.size(), newKeys.size());
    std::size_t prefix = 0;
    for (; prefix < shorter && oldKeys[prefix] == newKeys[prefix]; ++prefix) tally.match(prefix, prefix);
    std::size_t suffix = 0;
    while (suffix < shorter - prefix && oldKeys.rbegin()[suffix] == newKeys.rbegin()[suffix]) ++suffix;

    reduce(oldKeys.subspan(prefix, oldKeys.size() - prefix - suffix),
           newKeys.subspan(prefix, newKeys.size() - prefix - suffix), prefix);
    AlignmentResult result;
    if (!a_.empty() && !b_.empty()) {
        const Tally::Mark start = tally.mark();
        if (!alignExactly(tally)) {
            tally.rewind(start);
            alignReduced(tally, 0, true);
            result.approximate = true;
        }
    }
    for (std::size_t i = suffix; i > 0; --i) tally.match(oldKeys.size() - i, newKeys.size() - i);
    result.figures = tally.finish(oldKeys.size(), newKeys.size());
    return result;
}

// Sets aside the keys that occur on one side only: they can never match.
// What is left goes to a_ and b_, renumbered 0 to keyCount_ - 1 if they were
// not dense, with the positions of its keys (`offset` added). Also bounds
// the cost from below: no more keys can match than min(occurrences in OLD,
// occurrences in NEW) summed over the keys.
void StepAligner::reduce(std::span<const std::uint32_t> oldKeys, std::span<const std::uint32_t> newKeys,
                         std::size_t offset) {
    a_.clear();
    b_.clear();
    aAt_.clear();
    bAt_.clear();
    lowestCost_ = 0;
    if (oldKeys.empty() || newKeys.empty()) return;

    // The numbers of a KeyInterner are dense; any others are renumbered.
    const std::size_t total = oldKeys.size() + newKeys.size();
    std::uint32_t top = 0;
    for (const std::uint32_t key : oldKeys) top = std::max(top, key);
    for (const std::uint32_t key : newKeys) top = std::max(top, key);
    const bool dense = top < 2 * total + 1024;
    if (!dense) {
        keyMap_.assign(oldKeys.begin(), oldKeys.end());
        keyMap_.insert(keyMap_.end(), newKeys.begin(), newKeys.end());
        std::sort(keyMap_.begin(), keyMap_.end());
        keyMap_.erase(std::unique(keyMap_.begin(), keyMap_.end()), keyMap_.end());
    }
    const auto number = [&](std::uint32_t key) -> std::uint32_t {
        if (dense) return key;
        return static_cast<std::uint32_t>(std::lower_bound(keyMap_.begin(), keyMap_.end(), key) - keyMap_.begin());
    };
    keyCount_ = dense ? std::size_t{top} + 1 : keyMap_.size();

    count_.assign(2 * keyCount_, 0);
    for (const std::uint32_t key : oldKeys) ++count_[2 * number(key)];
    for (const std::uint32_t key : newKeys) ++count_[2 * number(key) + 1];
    for (std::size_t i = 0; i < oldKeys.size(); ++i) {
        const std::uint32_t key = number(oldKeys[i]);
        if (count_[2 * key + 1] != 0) {
            a_.push_back(key);
            aAt_.push_back(static_cast<std::int32_t>(offset + i));
        }
    }
    for (std::size_t i = 0; i < newKeys.size(); ++i) {
        const std::uint32_t key = number(newKeys[i]);
        if (count_[2 * key] != 0) {
            b_.push_back(key);
            bAt_.push_back(static_cast<std::int32_t>(offset + i));
        }
    }
    std::uint64_t mostMatches = 0;
    for (std::size_t key = 0; key < keyCount_; ++key) mostMatches += std::min(count_[2 * key], count_[2 * key + 1]);
    lowestCost_ = a_.size() + b_.size() - 2 * mostMatches;
}

// Aligns a_ and b_ exactly if their cost is within the limit; false if not
// (the tally then holds part of an alignment). A search is tried with a cost
// limit doubled from one try to the next: pairs that differ little are
// settled cheaply. Before a try, when counting the length of the longest
// common subsequence (so the cost) is cheaper than that try, the count
// decides instead.
bool StepAligner::alignExactly(Tally& tally) {
    const std::uint64_t limit = limits_.maxExactCost;
    if (lowestCost_ > limit) return false;
    const Tally::Mark start = tally.mark();
    const std::uint64_t counting = limits_.countCommonLength ? countingWork() : 0;
    for (std::uint64_t cost = std::min(std::max<std::uint64_t>(limits_.firstTryCost, 1), limit);;
         cost = std::min(2 * cost, limit)) {
        if (alignReduced(tally, cost, false)) return true;
        if (cost == limit) return false;
        tally.rewind(start);
        if (limits_.countCommonLength && counting <= searchWork(std::min(2 * cost, limit))) {
            if (a_.size() + b_.size() - 2 * commonLength() > limit) return false;
            return alignReduced(tally, std::numeric_limits<std::uint64_t>::max(), false);
        }
    }
}

// Steps of a search to cost `cost`: about ceil(cost / 2) rounds each way,
// each visiting one diagonal more than the one before.
std::uint64_t StepAligner::searchWork(std::uint64_t cost) {
    const std::uint64_t rounds = cost / 2 + 1;
    return rounds * rounds;
}

// Words commonLength handles: for each step of a_, its key's positions in
// b_, or the whole bit row where they are more than its words.
std::uint64_t StepAligner::countingWork() const {
    const std::uint64_t words = (b_.size() + 63) / 64;
    std::uint64_t work = 0;
    for (const std::uint32_t key : a_) work += std::min<std::uint64_t>(count_[2 * key + 1], words);
    return work;
}

// The length of a longest common subsequence of a_ and b_, by the
// bit-parallel method of Allison and Dix as Hyyro gives it: V holds one bit
// per step of b_, all set at first; for each step of a_, with U = V & (the
// positions of its key in b_), V becomes (V + U) | (V & ~U). The length is
// then the number of bits of V cleared. Keys found in b_ at fewer places than
// V has words are handled a word at a time where they occur, the carry of the
// addition passed on only as far as it goes.
std::uint64_t StepAligner::commonLength() {
    const std::size_t m = b_.size();
    const std::size_t words = (m + 63) / 64;
    // The positions of each key in b_, by key.
    firstAt_.assign(keyCount_ + 1, 0);
    for (const std::uint32_t key : b_) ++firstAt_[key + 1];
    for (std::size_t key = 0; key < keyCount_; ++key) firstAt_[key + 1] += firstAt_[key];
    positions_.resize(m);
    nextAt_.assign(firstAt_.begin(), firstAt_.end() - 1);
    for (std::size_t y = 0; y < m; ++y) positions_[nextAt_[b_[y]]++] = static_cast<std::uint32_t>(y);
    // Bit rows of the frequent keys; nextAt_ now tells which row a key has.
    constexpr std::uint32_t kNoRow = std::numeric_limits<std::uint32_t>::max();
    std::size_t rows = 0;
    for (std::size_t key = 0; key < keyCount_; ++key) {
        nextAt_[key] = firstAt_[key + 1] - firstAt_[key] > words ? static_cast<std::uint32_t>(rows++) : kNoRow;
    }
    rowBits_.assign(rows * words, 0);
    for (std::size_t y = 0; y < m; ++y) {
        if (nextAt_[b_[y]] != kNoRow) rowBits_[nextAt_[b_[y]] * words + y / 64] |= std::uint64_t{1} << (y % 64);
    }

    bits_.assign(words, ~std::uint64_t{0});
    std::uint64_t* const v = bits_.data();
    // One word of V + U + carry, returning the carry out.
    const auto add = [v](std::size_t w, std::uint64_t positions, std::uint64_t carry) {
        const std::uint64_t word = v[w];
        const std::uint64_t u = word & positions;
        const std::uint64_t sum = word + u;
        const std::uint64_t total = sum + carry;
        v[w] = total | (word & ~u);
        return static_cast<std::uint64_t>(sum < word) | static_cast<std::uint64_t>(total < sum);
    };
    for (const std::uint32_t key : a_) {
        std::uint64_t carry = 0;
        if (nextAt_[key] != kNoRow) {
            const std::uint64_t* const row = rowBits_.data() + nextAt_[key] * words;
            for (std::size_t w = 0; w < words; ++w) carry = add(w, row[w], carry);
            continue;
        }
        const std::uint32_t* at = positions_.data() + firstAt_[key];
        const std::uint32_t* const end = positions_.data() + firstAt_[key + 1];
        std::size_t w = 0;  // the next word the carry goes into
        while (at != end) {
            const std::size_t word = *at / 64;
            for (; carry != 0 && w < word; ++w) carry = add(w, 0, carry);
            std::uint64_t positions = 0;
            for (; at != end && *at / 64 == word; ++at) positions |= std::uint64_t{1} << (*at % 64);
            carry = add(word, positions, carry);
            w = word + 1;
        }
        for (; carry != 0 && w < words; ++w) carry = add(w, 0, carry);
    }

    // The bits past the last step stay set: they are never in U, and V & ~U
    // keeps them.
    std::uint64_t cleared = 0;
    for (std::size_t w = 0; w < words; ++w) cleared += static_cast<std::uint64_t>(std::popcount(~v[w]));
    return cleared;
}

// Divide and conquer over the reduced sequences, ranges taken from a stack so
// that the matches come out in order. Exactly: false when the cost exceeds
// `maxCost` (decided by the first search: the searches of the parts cost
// less). Cheaply: each search stops after a few rounds.
bool StepAligner::alignReduced(Tally& tally, std::uint64_t maxCost, bool cheaply) {
    const auto n = static_cast<std::int32_t>(a_.size());
    const auto m = static_cast<std::int32_t>(b_.size());
    forward_.resize(a_.size() + b_.size() + 3);
    backward_.resize(a_.size() + b_.size() + 3);
    tasks_.clear();
    tasks_.push_back({0, n, 0, m, false});
    std::int64_t searchCost = cheaply ? 2 * std::int64_t{std::max<std::uint32_t>(limits_.fallbackRounds, 1)}
                                      : static_cast<std::int64_t>(std::min<std::uint64_t>(maxCost, kUnlimited));
    while (!tasks_.empty()) {
        Task task = tasks_.back();
        tasks_.pop_back();
        if (task.snake) {
            for (std::int32_t x = task.xBegin, y = task.yBegin; x < task.xEnd; ++x, ++y) {
                tally.match(aAt_[x], bAt_[y]);
            }
            continue;
        }
        // The common start is matched at once, the common end once the
        // middle is done.
        for (; task.xBegin < task.xEnd && task.yBegin < task.yEnd && a_[task.xBegin] == b_[task.yBegin];
             ++task.xBegin, ++task.yBegin) {
            tally.match(aAt_[task.xBegin], bAt_[task.yBegin]);
        }
        const Task whole = task;
        while (task.xBegin < task.xEnd && task.yBegin < task.yEnd && a_[task.xEnd - 1] == b_[task.yEnd - 1]) {
            --task.xEnd;
            --task.yEnd;
        }
        if (task.xEnd != whole.xEnd) tasks_.push_back({task.xEnd, whole.xEnd, task.yEnd, whole.yEnd, true});
        if (task.xBegin == task.xEnd || task.yBegin == task.yEnd) continue;

        Split split;
        if (!findSplit(task, searchCost, split) && !cheaply) return false;
        if (!cheaply) searchCost = kUnlimited;
        tasks_.push_back({split.x, task.xEnd, split.y, task.yEnd, false});
        tasks_.push_back({task.xBegin, split.x, task.yBegin, split.y, false});
    }
    return true;
}

// Myers' search for the middle of a shortest edit path through a range whose
// first keys differ and whose last keys differ. Edit graph: x indexes a_, y
// indexes b_, diagonal d = x - y. Each round extends the furthest-reaching
// paths from the start (forward, largest x on each diagonal) and from the
// end (backward, smallest x) by one more edit. Sets `split` to the end of the
// forward snake (or the start of the backward snake) where the two first
// overlap: that point lies on a shortest path, and its parts cost
// ceil(D / 2) and floor(D / 2). Returns false, with a point chosen by
// cheapSplit, when the cost D would exceed `maxCost`.
bool StepAligner::findSplit(const Task& task, std::int64_t maxCost, Split& split) {
    const std::uint32_t* const a = a_.data();
    const std::uint32_t* const b = b_.data();
    // Diagonals run from -m to n, and one beyond at each end.
    std::int32_t* const fd = forward_.data() + b_.size() + 1;
    std::int32_t* const bd = backward_.data() + b_.size() + 1;
    const std::int32_t xBegin = task.xBegin, xEnd = task.xEnd, yBegin = task.yBegin, yEnd = task.yEnd;

    const std::ptrdiff_t dmin = xBegin - yEnd;  // lowest diagonal of the range
    const std::ptrdiff_t dmax = xEnd - yBegin;  // highest
    const std::ptrdiff_t fmid = xBegin - yBegin;
    const std::ptrdiff_t bmid = xEnd - yEnd;
    const bool odd = ((fmid - bmid) & 1) != 0;
    std::ptrdiff_t fmin = fmid, fmax = fmid;  // diagonals reached forward
    std::ptrdiff_t bmin = bmid, bmax = bmid;  // and backward
    fd[fmid] = xBegin;
    bd[bmid] = xEnd;
    // One diagonal more on each side, or one less where the range ends:
    // every other diagonal is reached in a round. The values beyond are set
    // so that the paths come from inside.
    const auto widen = [dmin, dmax](std::ptrdiff_t& low, std::ptrdiff_t& high, std::int32_t* values,
                                    std::int32_t outside) {
        if (low > dmin) {
            values[--low - 1] = outside;
        } else {
            ++low;
        }
        if (high < dmax) {
            values[++high + 1] = outside;
        } else {
            --high;
        }
    };

    for (std::int64_t round = 1;; ++round) {
        // This round finds only a path of cost 2 * round - 1 (odd difference
        // of lengths) or 2 * round (even).
        if ((odd ? 2 * round - 1 : 2 * round) > maxCost) {
            split = cheapSplit(task, fmin, fmax, bmin, bmax);
            return false;
        }

        widen(fmin, fmax, fd, kNoForward);
        for (std::ptrdiff_t d = fmax; d >= fmin; d -= 2) {
            // From the diagonal below, one more OLD step deleted; from above,
            // one more NEW step added: whichever reaches further.
            std::int32_t x = std::max(fd[d + 1], fd[d - 1] + 1);
            std::int32_t y = static_cast<std::int32_t>(x - d);
            while (x < xEnd && y < yEnd && a[x] == b[y]) {
                ++x;
                ++y;
            }
            fd[d] = x;
            // A point past the range's edge is never taken for a split.
            if (odd && bmin <= d && d <= bmax && bd[d] <= x && x <= xEnd && y <= yEnd) {
                split = {x, y};
                return true;
            }
        }

        widen(bmin, bmax, bd, kNoBackward);
        for (std::ptrdiff_t d = bmax; d >= bmin; d -= 2) {
            std::int32_t x = std::min(bd[d - 1], bd[d + 1] - 1);
            std::int32_t y = static_cast<std::int32_t>(x - d);
            while (x > xBegin && y > yBegin && a[x - 1] == b[y - 1]) {
                --x;
                --y;
            }
            bd[d] = x;
            if (!odd && fmin <= d && d <= fmax && x <= fd[d] && x >= xBegin && y >= yBegin) {
                split = {x, y};
                return true;
            }
        }
    }
}

// Where the cheaper method splits a range whose search gave up: the furthest
// point reached from either end (by steps of OLD plus steps of NEW passed),
// forward first and lower diagonals first among equals. The point is never a
// corner of the range, so every split makes progress; the matches of each
// part are real matches, so the result is a common subsequence.
StepAligner::Split StepAligner::cheapSplit(const Task& task, std::int64_t forwardLow, std::int64_t forwardHigh,
                                           std::int64_t backwardLow, std::int64_t backwardHigh) const {
    const std::int32_t* const fd = forward_.data() + b_.size() + 1;
    const std::int32_t* const bd = backward_.data() + b_.size() + 1;
    const std::int64_t whole = std::int64_t{task.xEnd} - task.xBegin + task.yEnd - task.yBegin;
    Split best{task.xBegin + 1, task.yBegin};  // in case nothing is inside: one OLD step alone
    std::int64_t bestProgress = 0;
    const auto consider = [&](std::int64_t x, std::int64_t y, std::int64_t progress) {
        if (progress > bestProgress && progress < whole && x >= task.xBegin && x <= task.xEnd &&
            y >= task.yBegin && y <= task.yEnd) {
            bestProgress = progress;
            best = {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
        }
    };
    for (std::int64_t d = forwardLow; d <= forwardHigh; d += 2) {
        const std::int64_t x = fd[d];
        consider(x, x - d, x + (x - d) - task.xBegin - task.yBegin);
    }
    for (std::int64_t d = backwardLow; d <= backwardHigh; d += 2) {
        const std::int64_t x = bd[d];
        consider(x, x - d, std::int64_t{task.xEnd} + task.yEnd - x - (x - d));
    }
    return best;
}

AlignmentResult alignSteps(std::span<const std::uint32_t> oldKeys, std::span<const std::uint32_t> newKeys,
                           MatchList* matches) {
    thread_local StepAligner aligner;
    return aligner.align(oldKeys, newKeys, matches);
}

}  // namespace stepcount::diff
