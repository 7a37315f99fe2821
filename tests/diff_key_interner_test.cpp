// Numbering step keys: first seen, first numbered; keys that share the bits
// the table indexes by; growth; emptying between pairs.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "diff/key_interner.h"

namespace stepcount::diff {
namespace {

using Ids = std::vector<std::uint32_t>;

// Numbered in the order first seen, also across calls. Keys equal in the
// bits that place them in the table or that are kept beside them: distinct.
TEST(DiffKeyInterner, NumbersKeysInTheOrderFirstSeen) {
    std::vector<StepKey> keys;
    for (std::uint64_t i = 0; i < 64; ++i) {
        keys.push_back({i << 40, 7});                 // the same slot, the same kept bits
        keys.push_back({5, (i << 20) | 7});           // the same slot, the same kept bits
        keys.push_back({5 + (i << 10), 9ull << 32});  // slots that collide as the table grows
        keys.push_back({0, std::uint64_t{1} << i});   // one bit of the high half
    }
    keys.push_back({0, 0});
    KeyInterner interner;
    Ids ids, expected;
    interner.internAll(keys, ids);
    interner.internAll(keys, ids);
    for (std::size_t id = 0; id < 2 * keys.size(); ++id) expected.push_back(static_cast<std::uint32_t>(id % keys.size()));
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(interner.size(), keys.size());
}

TEST(DiffKeyInterner, GrowsAndForgets) {
    const auto key = [](std::uint64_t i) { return StepKey{i * 0x9e3779b97f4a7c15ull, i}; };
    KeyInterner interner;
    for (std::uint32_t i = 0; i < 300000; ++i) ASSERT_EQ(interner.intern(key(i)), i);
    for (std::uint32_t i = 0; i < 300000; i += 997) ASSERT_EQ(interner.intern(key(i)), i);
    EXPECT_EQ(interner.size(), 300000u);
    for (int round = 0; round < 3; ++round) {
        interner.clear();
        EXPECT_EQ(interner.size(), 0u);
        EXPECT_EQ(interner.intern(key(5)), 0u);
        EXPECT_EQ(interner.intern(key(0)), 1u);
        EXPECT_EQ(interner.intern(key(5)), 0u);
    }
}

}  // namespace
}  // namespace stepcount::diff
