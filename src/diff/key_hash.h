// A 128-bit hash of a byte string that arrives in pieces, for telling the
// keys of steps apart without keeping them.
//
// The bytes are taken sixteen at a time at fixed offsets from the start of
// the string, so the value never depends on where the pieces were cut. Each
// block is mixed into a 128-bit state by two folded 64x64->128-bit products,
// each of all 128 bits of state and block; the last, zero-padded block also
// carries the number of bytes it holds. The result is well mixed in all its
// bits (a hash table may index by any of them) and two different strings
// give the same value with a chance of about 2^-128: not a defence against
// strings built to collide, which source files are not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace stepcount::diff {

// The hashed key of one step.
struct StepKey {
    std::uint64_t low = 0;
    std::uint64_t high = 0;

    friend bool operator==(const StepKey&, const StepKey&) = default;
};

class KeyHasher {
public:
    KeyHasher() { reset(); }

    // Starts a new string.
    void reset() {
        h0_ = kSeed0;
        h1_ = kSeed1;
        held_ = 0;
    }

    // Appends `size` bytes to the string.
    void update(const char* data, std::size_t size) {
        if (held_ != 0) {
            const std::size_t take = size < kBlock - held_ ? size : kBlock - held_;
            std::memcpy(block_ + held_, data, take);
            held_ += take;
            if (held_ < kBlock) return;
            mix(load(block_), load(block_ + 8));
            data += take;
            size -= take;
            held_ = 0;
        }
        for (; size >= kBlock; data += kBlock, size -= kBlock) mix(load(data), load(data + 8));
        std::memcpy(block_, data, size);
        held_ = size;
    }

    // The value of the string so far; the hasher is left as it is.
    StepKey digest() const {
        unsigned char last[kBlock] = {};
        std::memcpy(last, block_, held_);
        // A tail holds at most 15 bytes: its last byte is free for its length,
        // which tells "ab" from "ab\0".
        last[kBlock - 1] = static_cast<unsigned char>(held_);
        KeyHasher copy = *this;
        copy.mix(load(last), load(last + 8));
        return StepKey{copy.h0_, copy.h1_};
    }

private:
    static constexpr std::size_t kBlock = 16;
    // Odd constants with about half their bits set, no pattern among them.
    static constexpr std::uint64_t kSeed0 = 0x243f6a8885a308d3;
    static constexpr std::uint64_t kSeed1 = 0x13198a2e03707344;
    static constexpr std::uint64_t kSalt0 = 0xa4093822299f31d1;
    static constexpr std::uint64_t kSalt1 = 0x082efa98ec4e6c89;
    static constexpr std::uint64_t kSalt2 = 0x452821e638d01377;
    static constexpr std::uint64_t kSalt3 = 0xbe5466cf34e90c6d;

    template <typename Byte>
    static std::uint64_t load(const Byte* bytes) {
        std::uint64_t word;
        std::memcpy(&word, bytes, sizeof word);
        return word;  // the machine's byte order: the hash is not stored or sent anywhere
    }

    __extension__ using Wide = unsigned __int128;  // g++ and clang have it

    // Product of two words, its high half folded onto its low half.
    static std::uint64_t fold(std::uint64_t a, std::uint64_t b) {
        const Wide product = static_cast<Wide>(a) * b;
        return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
    }

    void mix(std::uint64_t w0, std::uint64_t w1) {
        const std::uint64_t a = h0_ ^ w0;
        const std::uint64_t b = h1_ ^ w1;
        h0_ = fold(a ^ kSalt0, b ^ kSalt1);
        h1_ = fold(a ^ kSalt2, b ^ kSalt3);
    }

    std::uint64_t h0_;
    std::uint64_t h1_;
    std::size_t held_;             // bytes waiting in block_
    unsigned char block_[kBlock];  // the start of an incomplete block
};

}  // namespace stepcount::diff
