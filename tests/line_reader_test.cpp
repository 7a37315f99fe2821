// The line reader: where lines end, the 256-byte window of each line, lines
// and breaks that straddle the reader's chunks, read from a file and from
// memory, the readers of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
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

// A file's bytes in memory (as a blob of a repository is), in an
// allocation of their very size: the sanitizers' build catches a read past
// their end.
class BytesInMemory : public FileContents {
public:
    explicit BytesInMemory(std::string bytes) : bytes_(std::move(bytes)) {}
    LoadedContents load(const std::string&, FileFacts& facts) const override {
        std::shared_ptr<char[]> copy(new char[bytes_.size()]);
        std::copy(bytes_.begin(), bytes_.end(), copy.get());
        facts.size = bytes_.size();
        LoadedContents loaded;
        loaded.bytes = std::string_view(copy.get(), bytes_.size());
        loaded.keeper = std::move(copy);
        return loaded;
    }

private:
    std::string bytes_;
};

// A file's bytes handed out a piece at a time (as a large blob of a
// repository is), in pieces of lengths that take turns: chunks then end
// anywhere in a line or in a CR LF.
class BytesStreamed : public FileContents {
public:
    explicit BytesStreamed(std::string bytes) : bytes_(std::move(bytes)) {}
    LoadedContents load(const std::string&, FileFacts& facts) const override {
        class Pieces : public ContentStream {
        public:
            explicit Pieces(const std::string& bytes) : bytes_(bytes) {}
            std::size_t read(char* buffer, std::size_t size) override {
                static constexpr std::size_t kLengths[] = {1, 4093, 2, 70000, 255};
                const std::size_t length = std::min({size, bytes_.size() - at_, kLengths[turn_++ % 5]});
                std::copy_n(bytes_.data() + at_, length, buffer);
                at_ += length;
                return length;
            }

        private:
            const std::string& bytes_;
            std::size_t at_ = 0;
            std::size_t turn_ = 0;
        };
        facts.size = bytes_.size();
        LoadedContents loaded;
        loaded.stream = std::make_unique<Pieces>(bytes_);
        return loaded;
    }

private:
    std::string bytes_;
};

Lines windowsFrom(const FileLocation& file) {
    const std::unique_ptr<LineReader> reader = LineReader::create();
    reader->open(file);
    Lines windows;
    std::string_view window;
    while (reader->next(window)) windows.emplace_back(window);
    return windows;
}

// The windows that the reader hands out for a file holding `bytes`; read
// from memory, or a piece at a time, the same bytes give the same windows.
Lines windowsOf(const std::string& bytes) {
    testing::TempDir dir;
    const Lines windows = windowsFrom(dir.write("lines.txt", bytes));
    const BytesInMemory inMemory(bytes);
    FileLocation memory("lines.txt");
    memory.contents = &inMemory;
    EXPECT_EQ(windowsFrom(memory), windows) << "read from memory";
    const BytesStreamed streamed(bytes);
    FileLocation pieces("lines.txt");
    pieces.contents = &streamed;
    EXPECT_EQ(windowsFrom(pieces), windows) << "read a piece at a time";
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

// Each kind of break around a boundary of the reader's chunks (a CR LF split
// by it, a lone CR ending a chunk and the next beginning with another), ending
// the file there or followed by an empty line, a short one, one whose window
// straddles the next boundary or ends before it, and one over three chunks.
TEST(LineReader, LinesAndBreaksAcrossChunks) {
    constexpr std::size_t kSecondLengths[] = {0, 10, 1000, 2 * kChunk + 5};
    for (const std::string lineBreak : {"\n", "\r\n", "\r"}) {
        for (const std::size_t length :
             {kChunk - 301, kChunk - 101, kChunk - 2, kChunk - 1, kChunk}) {
            SCOPED_TRACE(std::to_string(length) + " and a break of " +
                         std::to_string(lineBreak.size()));
            const std::string first = letters(length, 'a');
            EXPECT_EQ(windowsOf(first + lineBreak), Lines{windowOf(first)});
            for (const std::size_t secondLength : kSecondLengths) {
                const std::string second = letters(secondLength, 'q');
                EXPECT_EQ(windowsOf(first + lineBreak + second + lineBreak + "end"),
                          (Lines{windowOf(first), windowOf(second), "end"}))
                    << secondLength;
            }
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

// Threads alive at once read through readers of their own, round after round
// of threads that end: their readers are freed at their ends (the MinGW
// runtime once crashed there). They meet under a mutex: the MinGW C++
// library's std::latch can miss a wake-up and wait for ever.
TEST(LineReader, EachThreadReadsThroughItsOwnReader) {
    const testing::TempDir dir;
    const std::string path = dir.write("lines.txt", "one\r\ntwo\rthree\n");
    for (int round = 0; round < 20; ++round) {
        LineReader* readers[4] = {};
        std::atomic<int> right{0};
        std::mutex lock;
        std::condition_variable allArrived;
        int arrived = 0;
        std::vector<std::thread> threads;
        for (int i = 0; i < 4; ++i) {
            threads.emplace_back([&, i] {
                LineReader* reader = LineReader::forThisThread();
                readers[i] = reader;
                {
                    std::unique_lock<std::mutex> guard(lock);
                    ++arrived;
                    allArrived.notify_all();
                    allArrived.wait(guard, [&] { return arrived == 4; });
                }
                if (reader == nullptr || reader != LineReader::forThisThread()) return;
                reader->open(FileLocation(path));
                std::string lines;
                for (std::string_view line; reader->next(line);) (lines += line) += '|';
                reader->close();
                if (lines == "one|two|three|") ++right;
            });
        }
        for (std::thread& thread : threads) thread.join();
        EXPECT_EQ(right.load(), 4);
        EXPECT_EQ(std::set<LineReader*>(std::begin(readers), std::end(readers)).size(), 4U);
    }
}

}  // namespace
}  // namespace stepcount

namespace stepcount {
namespace {

// Reading at an offset (as the packs of a repository are read): the bytes
// there, fewer at the end of the file, none beyond it.
TEST(ReadFileAt, ReadsTheBytesAtAnOffset) {
    testing::TempDir dir;
    std::string bytes;
    for (int i = 0; i < 300000; ++i) bytes += static_cast<char>('a' + i % 23);
    FileFacts facts;
    const UniqueFd fd = openRegularFileForReading(FileLocation(dir.write("f.bin", bytes)), facts);
    char buffer[64];
    for (const std::uint64_t offset : {0ULL, 7ULL, 131072ULL, 299990ULL}) {
        const std::int64_t got = readFileAt(fd.get(), buffer, sizeof buffer, offset);
        const auto expected = std::min<std::uint64_t>(sizeof buffer, bytes.size() - offset);
        ASSERT_EQ(got, static_cast<std::int64_t>(expected)) << offset;
        EXPECT_EQ(std::string(buffer, expected), bytes.substr(offset, expected)) << offset;
    }
    EXPECT_EQ(readFileAt(fd.get(), buffer, sizeof buffer, bytes.size() + 5), 0);
}

}  // namespace
}  // namespace stepcount
