// Numbers the distinct step keys of one pair of files 0, 1, 2 ... in the order
// they are first seen, so that the alignment compares small integers.
//
// An open-addressing hash table indexed by the keys' own well-mixed bits. It
// is emptied between pairs in time proportional to the keys it held, keeping
// its memory, so one interner serves a counting thread for all its pairs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "diff/key_hash.h"

namespace stepcount::diff {

class KeyInterner {
public:
    // The number of `key`, a new one if it is not known yet. Throws
    // std::length_error past 2^31 - 1 distinct keys.
    std::uint32_t intern(const StepKey& key);

    // Appends the numbers of `keys` to `ids`.
    void internAll(std::span<const StepKey> keys, std::vector<std::uint32_t>& ids);

    // Distinct keys seen since the last clear.
    std::size_t size() const { return keys_.size(); }

    // Forgets every key; the memory is kept.
    void clear();

private:
    struct Slot {
        std::uint32_t idPlusOne = 0;  // 0: empty
        std::uint32_t tag = 0;        // bits of the key not used to index: most misses end here
    };

    static std::uint32_t tagOf(const StepKey& key) { return static_cast<std::uint32_t>(key.high >> 32); }
    std::size_t findSlot(const StepKey& key) const;
    void grow();

    std::vector<Slot> slots_;          // a power of two, at most half full
    std::vector<StepKey> keys_;        // by number
    std::vector<std::uint32_t> slotOf_;  // by number: where the key sits, to empty it
};

}  // namespace stepcount::diff
