#include "diff/encoding_survey.h"

#include <cstring>

namespace stepcount::diff {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080;

// The UTF-8 sequence that a byte of 0x80 or more begins: its continuation
// bytes and the range of the first of them (the others are 0x80-0xBF).
// `continuations` 0: the byte begins none.
struct Lead {
    std::uint8_t continuations;
    std::uint8_t lowest;
    std::uint8_t highest;
};

constexpr Lead leadOf(unsigned char byte) {
    if (byte >= 0xC2 && byte <= 0xDF) return {1, 0x80, 0xBF};
    if (byte == 0xE0) return {2, 0xA0, 0xBF};  // no overlong forms
    if (byte == 0xED) return {2, 0x80, 0x9F};  // no surrogates
    if (byte >= 0xE1 && byte <= 0xEF) return {2, 0x80, 0xBF};
    if (byte == 0xF0) return {3, 0x90, 0xBF};  // no overlong forms
    if (byte >= 0xF1 && byte <= 0xF3) return {3, 0x80, 0xBF};
    if (byte == 0xF4) return {3, 0x80, 0x8F};  // nothing above U+10FFFF
    return {0, 0, 0};
}

}  // namespace

void EncodingSurvey::add(std::string_view piece) {
    if (!valid_) return;
    const auto* byte = reinterpret_cast<const unsigned char*>(piece.data());
    const auto* end = byte + piece.size();
    while (byte != end) {
        if (pending_ != 0) {
            if (*byte < lowest_ || *byte > highest_) {
                valid_ = false;
                return;
            }
            ++byte;
            --pending_;
            lowest_ = 0x80;
            highest_ = 0xBF;
            continue;
        }
        // ASCII text, eight bytes at a time.
        for (std::uint64_t word; end - byte >= 8; byte += 8) {
            std::memcpy(&word, byte, sizeof word);
            if ((word & kHighBits) != 0) break;
        }
        while (byte != end && *byte < 0x80) ++byte;
        if (byte == end) return;
        nonAscii_ = true;
        const Lead lead = leadOf(*byte++);
        if (lead.continuations == 0) {
            valid_ = false;
            return;
        }
        pending_ = lead.continuations;
        lowest_ = lead.lowest;
        highest_ = lead.highest;
    }
}

}  // namespace stepcount::diff
