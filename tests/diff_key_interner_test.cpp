// Numbering step keys: first seen, first numbered; keys that share the bits
// the table indexes by; growth; emptying between pairs.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "diff/key_interner.h"

namespace stepcount::diff {
namespace {

using Ids = std::vector<std::uint32_t>;

TEST(DiffKeyInterner, NumbersKeysInTheOrderFirstSeen) {
    const StepKey a{0x1234, 0x5678}, b{0x9abc, 0xdef0}, c{0x1111, 0x2222};
    KeyInterner interner;
    Ids ids;
    interner.internAll(std::vector<StepKey>{a, b, a, c, b}, ids);
    interner.internAll(std::vector<StepKey>{c, a}, ids);  // appended
    EXPECT_EQ(ids, (Ids{0, 1, 0, 2, 1, 2, 0}));
    EXPECT_EQ(interner.size(), 3u);
}

// Keys equal in the bits that place them in the table or in the bits kept
// beside them, differing anywhere else: all distinct.
TEST(DiffKeyInterner, KeysThatShareBitsStayApart) {
    std::vector<StepKey> keys;
    for (std::uint64_t i = 0; i < 64; ++i) {
        keys.push_back({i << 40, 7});                 // the same slot, the same kept bits
        keys.push_back({5, (i << 20) | 7});           // the same slot, the same kept bits
        keys.push_back({5 + (i << 10), 9ull << 32});  // slots that collide as the table grows
        keys.push_back({0, std::uint64_t{1} << i});   // one bit of the high half
    }
    keys.push_back({0, 0});
    KeyInterner interner;
    Ids first, second;
    interner.internAll(keys, first);
    interner.internAll(keys, second);
    Ids expected;
    for (std::uint32_t id = 0; id < keys.size(); ++id) expected.push_back(id);
    EXPECT_EQ(first, expected);
    EXPECT_EQ(second, expected);
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
