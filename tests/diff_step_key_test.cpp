// Step keys: which bytes of a line make its key, under both readings of a
// file, whatever the pieces the line comes in; the hash of the key bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "diff/key_hash.h"
#include "diff/step_key.h"

namespace stepcount::diff {

// For the messages of failed checks.
void PrintTo(const StepKey& key, std::ostream* out) { *out << std::hex << key.high << ":" << key.low; }

namespace {

using namespace std::string_literals;

StepKey hashOf(std::string_view bytes) {
    KeyHasher hasher;
    hasher.update(bytes.data(), bytes.size());
    return hasher.digest();
}

std::string printable(std::string_view bytes) { return ::testing::PrintToString(std::string(bytes)); }

// The key bytes of a line, under each rule, without and with --ignore-case,
// as a UTF-8 file and as a CP932 one (empty: as UTF-8).
TEST(DiffStepKey, KeyBytesOfALine) {
    constexpr KeyRule kLine = KeyRule::TrimmedLine, kCobol = KeyRule::CobolProgramArea;
    const std::string longLine = std::string(300, ' ') + "long" + std::string(70000, 'x') + std::string(200000, ' ');
    const std::string area(66, 'x');  // all of columns 7 to 72
    const struct {
        KeyRule rule;
        bool ignoreCase;
        std::string line, utf8, cp932 = "";
    } cases[] = {
        // The line without the spaces and tabs at either end.
        {kLine, false, "return 0;", "return 0;"},
        {kLine, false, "\t\treturn 0;  \t ", "return 0;"},
        {kLine, false, " a \t b ", "a \t b"},  // blanks inside stay
        {kLine, false, "x\f", "x\f"},          // only spaces and tabs go
        {kLine, false, "\vx", "\vx"},
        {kLine, false, "\x81\x40x\x81\x40", "\x81\x40x\x81\x40"},  // a full-width space is no blank
        {kLine, false, "\xe3\x80\x80x\xe3\x80\x80", "\xe3\x80\x80x\xe3\x80\x80"},
        {kLine, false, "a\0 "s, "a\0"s},  // NUL is an ordinary byte
        {kLine, false, "   ", ""},
        {kLine, false, "", ""},
        {kLine, false, longLine, "long" + std::string(70000, 'x')},
        {kLine, false, "Ab\x83" "Cd", "Ab\x83" "Cd"},
        // COBOL: columns 7 to 72 without the spaces at their end.
        {kCobol, false, "000100 MOVE A TO B.", " MOVE A TO B."},
        {kCobol, false, "999999 MOVE A TO B.          ", " MOVE A TO B."},  // renumbered
        {kCobol, false, "000100 MOVE A TO B." + std::string(53, ' ') + "PROG0001", " MOVE A TO B."},
        {kCobol, false, "000100    MOVE A.", "    MOVE A."},  // the start is kept
        {kCobol, false, "000100 MOVE A.\t", " MOVE A.\t"},      // only spaces end it
        {kCobol, false, "123456" + area, area},
        {kCobol, false, "123456" + area + "IDENT", area},
        {kCobol, false, "123456" + area.substr(1) + " Z", area.substr(1)},
        {kCobol, false, "123456 ", ""},
        {kCobol, false, "000100", ""},
        {kCobol, false, "0001", ""},
        {kCobol, false, "", ""},
        // --ignore-case folds ASCII letters, in CP932 never a second byte.
        {kLine, true, "  Return X;", "return x;"},
        // ア in CP932 is 0x83 0x41: its second byte is an "A".
        {kLine, true, "\x83\x41" "BC", "\x83\x61" "bc", "\x83\x41" "bc"},
        {kLine, true, "Ab\x83" "Cd", "ab\x83" "cd", "ab\x83" "Cd"},
        {kLine, true, "\x83\x83" "A", "\x83\x83" "a"},  // A follows a whole character
        {kLine, true, "\x82\xa0Z", "\x82\xa0z"},
        // Lead bytes are 0x81-0x9F and 0xE0-0xFC; half-width katakana and
        // the rest stand alone.
        {kLine, true, "\x80" "A", "\x80" "a"},
        {kLine, true, "\x81" "A", "\x81" "a", "\x81" "A"},
        {kLine, true, "\x9f" "A", "\x9f" "a", "\x9f" "A"},
        {kLine, true, "\xa0" "A", "\xa0" "a"},
        {kLine, true, "\xdf" "A", "\xdf" "a"},
        {kLine, true, "\xe0" "A", "\xe0" "a", "\xe0" "A"},
        {kLine, true, "\xfc" "A", "\xfc" "a", "\xfc" "A"},
        {kLine, true, "\xfd" "A", "\xfd" "a"},
        // A lead byte that ends the line before its trailing blanks.
        {kLine, true, "X\x83 ", "x\x83"},
        // COBOL lines are parsed from column 1: a lead byte in column 6
        // makes column 7 a second byte.
        {kCobol, true, "00010\x83" "ABC", "abc", "Abc"},
        {kCobol, true, "000100 MOVE A.", " move a."},
    };
    for (const auto& c : cases) {
        StepKeyBuilder builder(c.rule, c.ignoreCase);
        const StepKeys keys = builder.keyOf(c.line);
        EXPECT_EQ(keys.utf8, hashOf(c.utf8)) << printable(c.line.substr(0, 40));
        EXPECT_EQ(keys.cp932, hashOf(c.cp932.empty() ? c.utf8 : c.cp932)) << printable(c.line.substr(0, 40));
        EXPECT_EQ(keys.forFile(true), keys.utf8);
        EXPECT_EQ(keys.forFile(false), keys.cp932);
    }
}

TEST(DiffStepKey, PiecesCutAnywhereGiveTheKeyOfTheWholeLine) {
    std::vector<std::string> lines = {
        "  a  b  ",
        "\t\t",
        std::string(1, 'x') + std::string(40, ' ') + std::string(1, 'y') + std::string(40, '\t'),
        "   \x83\x41" "BC\x83" "Def \x81\x40 ",
        "00010\x83" "ABC DEF" + std::string(70, ' ') + "XY",
        "0001\x83\x41" "Bc",
        std::string(33, 'Q') + " \t" + std::string(15, 'r'),
    };
    std::mt19937 random(4242);
    std::string big;
    for (int i = 0; i < 300000; ++i) big += " \tAb\x83Z"[random() % 6];
    lines.push_back(big);
    for (const KeyRule rule : {KeyRule::TrimmedLine, KeyRule::CobolProgramArea}) {
        for (const bool ignoreCase : {false, true}) {
            StepKeyBuilder builder(rule, ignoreCase);
            for (const std::string& line : lines) {
                const StepKeys whole = builder.keyOf(line);
                // Every single cut of a short line, then cuts into up to 13 pieces.
                const std::size_t singles = line.size() < 200 ? line.size() + 1 : 0;
                for (std::size_t round = 0; round < singles + 20; ++round) {
                    std::vector<std::size_t> cuts{round};
                    if (round >= singles) {
                        cuts.resize(1 + random() % 12);
                        for (std::size_t& cut : cuts) cut = random() % (line.size() + 1);
                        std::sort(cuts.begin(), cuts.end());  // equal cuts make empty pieces
                    }
                    builder.begin();
                    for (std::size_t from = 0, piece = 0; piece <= cuts.size(); ++piece) {
                        const std::size_t to = piece < cuts.size() ? cuts[piece] : line.size();
                        builder.add(std::string_view(line).substr(from, to - from));
                        from = to;
                    }
                    const StepKeys pieces = builder.finish();
                    ASSERT_EQ(pieces.utf8, whole.utf8) << printable(line.substr(0, 60)) << " cut at " << cuts[0];
                    ASSERT_EQ(pieces.cp932, whole.cp932) << printable(line.substr(0, 60)) << " cut at " << cuts[0];
                }
            }
        }
    }
}

// Distinct strings get distinct values in each half on its own (a hash
// table indexes by the low half and checks the high one first), and every
// bit of the value is set about half the time.
TEST(DiffStepKey, HashTellsApartShortStringsAndNearMisses) {
    const std::string alphabet = "\x00\x01\x09\x0a\x20\x30\x41\x61\x7a\x7f\x80\x81\x9f\xa0\xe0\xfc\xfe\xff"s;
    std::vector<std::string> strings = {""};  // then every string of up to 3 of these bytes
    for (std::size_t i = 0; strings[i].size() < 3; ++i) {
        for (const char c : alphabet) strings.push_back(strings[i] + c);
    }
    const std::string line = "    result = process_record(&context, in);";
    for (std::size_t bit = 0; bit < line.size() * 8; ++bit) {
        std::string flipped = line;
        flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
        strings.push_back(flipped);
    }
    for (std::size_t zeros = 1; zeros <= 40; ++zeros) strings.push_back("ab" + std::string(zeros, '\0'));
    for (std::size_t length = 4; length <= 100; ++length) strings.push_back(std::string(length, 'a'));

    std::set<std::uint64_t> lows, highs;
    std::vector<std::size_t> bitCounts(128, 0);
    for (const std::string& s : strings) {
        const StepKey key = hashOf(s);
        lows.insert(key.low);
        highs.insert(key.high);
        for (int bit = 0; bit < 128; ++bit) bitCounts[bit] += ((bit < 64 ? key.low : key.high) >> (bit % 64)) & 1;
    }
    EXPECT_EQ(lows.size(), strings.size());
    EXPECT_EQ(highs.size(), strings.size());
    for (std::size_t bit = 0; bit < 128; ++bit) {
        EXPECT_NEAR(static_cast<double>(bitCounts[bit]) / static_cast<double>(strings.size()), 0.5, 0.05)
            << "bit " << bit;
    }
}

}  // namespace
}  // namespace stepcount::diff
