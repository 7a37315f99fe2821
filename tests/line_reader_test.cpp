// The line reader: where lines end, the 256-byte window of each line, lines
// and breaks that straddle the reader's chunks. (Files far larger than memory:
// BadTreeTest.FileOver4GiBAndLineOf1GiBInBoundedMemory.)
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/line_reader.h"
#include "support/reference_lines.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;
constexpr std::size_t kChunk = LineReader::kChunkSize;
constexpr std::size_t kWindow = LineReader::kWindowSize;

// The windows that the reader hands out for a file holding `bytes`.
Lines windowsOf(const std::string& bytes) {
    testing::TempDir dir;
    const std::unique_ptr<LineReader> reader = LineReader::create();
    reader->open(dir.write("lines.txt", bytes));
    Lines windows;
    std::string_view window;
    while (reader->next(window)) windows.emplace_back(window);
    return windows;
}

// `length` letters without a short period, so that a window taken from the
// wrong place of its line does not compare equal.
std::string letters(std::size_t length, char seed = 'a') {
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i) {
        text[i] = static_cast<char>('a' + (static_cast<std::size_t>(seed) + i * 7 + i / 26) % 26);
    }
    return text;
}

std::string windowOf(const std::string& line) { return line.substr(0, kWindow); }

TEST(LineReader, SplitsAtCrLfLoneCrAndLoneLf) {
    const struct {
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"", {}}, {"a", {"a"}}, {"a\r\nb\r\n", {"a", "b"}}, {"a\n\n", {"a", ""}},
        {"a\rb\rc", {"a", "b", "c"}}, {"\n", {""}}, {"\r\n", {""}}, {"\n\r", {"", ""}},
        {"\r\r\n\n", {"", "", ""}}, {"a\r\n\rb\n\r\nc\r", {"a", "", "b", "", "c"}},
        // A NUL byte is an ordinary byte: it neither ends nor hides anything.
        {"x\0y\n\0\0\r\0"s, {"x\0y"s, "\0\0"s, "\0"s}},
    };
    for (const auto& c : cases) EXPECT_EQ(windowsOf(c.bytes), c.lines) << ::testing::PrintToString(c.bytes);
}

TEST(LineReader, HandsOutOnlyTheFirst256BytesOfALine) {
    for (const std::size_t length : {kWindow - 1, kWindow, kWindow + 1, std::size_t{5000}, std::size_t{5} << 20}) {
        const std::string line = letters(length);
        EXPECT_EQ(windowsOf(line + "\r\nnext\n" + line), (Lines{windowOf(line), "next", windowOf(line)})) << length;
    }
}

TEST(LineReader, LinesAndBreaksAcrossChunks) {
    const struct {
        std::size_t firstLength, secondLength;
        std::string lineBreak;
    } cases[] = {
        {kChunk - 101, 1000, "\n"},   // the second line's window straddles the chunks
        {kChunk - 301, 1000, "\n"},   // its window ends before, the rest lies beyond
        {kChunk - 1, 10, "\n"},       // LF is the last byte of a chunk
        {kChunk, 10, "\n"},           // LF is the first byte of the next
        {kChunk - 1, 10, "\r\n"},     // CR ends one chunk, its LF begins the next
        {kChunk - 2, 10, "\r\n"},
        {kChunk - 1, 10, "\r"},       // a lone CR ends a chunk
        {kChunk - 1, 0, "\r"},        // ... and the next begins with another CR
        {kChunk - 1, 0, "\r\n"},      // ... then its LF, then an empty line
        {10, 2 * kChunk + 5, "\r\n"}, // a line over three chunks
    };
    for (const auto& c : cases) {
        const std::string first = letters(c.firstLength, 'a');
        const std::string second = letters(c.secondLength, 'q');
        EXPECT_EQ(windowsOf(first + c.lineBreak + second + c.lineBreak + "end"),
                  (Lines{windowOf(first), second.substr(0, kWindow), "end"}))
            << c.firstLength << " " << c.secondLength << " " << c.lineBreak.size();
    }
}

TEST(LineReader, ABreakEndingTheFileAtAChunkEndAddsNoLine) {
    for (const std::string lineBreak : {"\r", "\r\n", "\n"}) {
        for (const std::size_t length : {kChunk - 2, kChunk - 1, kChunk}) {
            const std::string line = letters(length);
            EXPECT_EQ(windowsOf(line + lineBreak), Lines{windowOf(line)}) << length << " " << lineBreak.size();
        }
    }
}

// Files of random lines, short and long, with every kind of break and runs of
// breaks, across several chunks: the reader agrees with the plain split.
TEST(LineReader, AgreesWithThePlainRuleOnRandomFiles) {
    std::mt19937 random(20121204);
    const char* const breaks[] = {"\n", "\r\n", "\r", "\n\n", "\r\r\n", "\n\r"};
    for (int file = 0; file < 40; ++file) {
        std::string bytes;
        const std::size_t size = random() % (3 * kChunk);
        while (bytes.size() < size) {
            const std::size_t pick = random() % 100;
            const std::size_t length = pick < 80 ? random() % 90 : pick < 97 ? random() % 700 : random() % (kChunk + 500);
            bytes += letters(length, static_cast<char>(random() % 26));
            bytes += breaks[random() % 6];
        }
        if (file % 2 == 1) bytes.resize(size);  // cut anywhere, even inside a break
        ASSERT_EQ(windowsOf(bytes), testing::referenceWindows(bytes)) << "file " << file;
    }
}

}  // namespace
}  // namespace stepcount
