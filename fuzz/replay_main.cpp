// Runs a fuzz target without libFuzzer, as a test: every file given, and every
// file directly inside every folder given, is one input, in name order; then
// come random inputs made of the bytes that matter to some language's rules
// (markers, division headers, Shift_JIS bytes, line breaks), always the same
// ones. A broken check aborts with its report; otherwise the program prints
// how many inputs it ran, and fails when no file was given.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

constexpr int kRandomInputs = 300;

std::string randomInput(std::mt19937& random) {
    using namespace std::string_view_literals;
    static constexpr std::string_view kPieces[] = {
        "/*", "*/", "//", "--", "<!--", "-->", "<script>", "</SCRIPT>", "//-->", "'", "Attribute",
        "Option Explicit", "      *", "      D", "      -", "       IDENTIFICATION DIVISION.",
        "       DATA DIVISION.", "       PROCEDURE DIVISION.", "int x;", "\x82\xa0", "\x81\x40", "\xb1",
        " ", "\t", "\0"sv, "\r", "\n", "\r\n", "\n\n", "\r\r", "a.c", ".FRM", "/"};
    std::string bytes;
    const auto pieces = random() % 120;
    for (std::size_t i = 0; i < pieces; ++i) {
        switch (random() % 5) {
            case 0: bytes += static_cast<char>(random() % 256); break;
            case 1: bytes.append(random() % 6 == 0 ? 250 + random() % 20 : random() % 8, " xX"[random() % 3]); break;
            default: bytes += kPieces[random() % std::size(kPieces)];
        }
    }
    return bytes;
}

void run(const std::string& bytes) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path given = argv[i];
        if (!std::filesystem::is_directory(given)) {
            inputs.push_back(given);
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(given)) {
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const std::filesystem::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", input.string().c_str());
            return 1;
        }
        run(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    std::mt19937 random(20240611);
    for (int i = 0; i < kRandomInputs; ++i) run(randomInput(random));
    std::printf("%zu files and %d random inputs checked\n", inputs.size(), kRandomInputs);
    return inputs.empty() ? 1 : 0;
}
