// The alignment benchmark: how long the keys, the numbering and the
// alignment of one pair of files take, and the memory they need.
//
//   stepcount_align_bench [--ignore-case] [--runs N] OLD NEW
//
// Reads both files whole, splits them into lines (CR LF, CR or LF), takes
// every line that is not blank as a step (no language rules: the input is
// meant to be code without comments), builds the step keys, numbers them and
// aligns them N times (default 3; the best time is shown). Prints the figures,
// the times and the peak memory of the process (getrusage) before and after
// the alignment. bench/make_diff_pair.py writes suitable pairs:
//
//   bench/make_diff_pair.py /tmp/pair
//   build/stepcount_align_bench /tmp/pair/old.c /tmp/pair/new.c
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diff/alignment.h"
#include "diff/encoding_survey.h"
#include "diff/key_interner.h"
#include "diff/step_key.h"

namespace {

using namespace stepcount::diff;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of the calling thread: on a busy machine it tells what the
// wall time does not.
double threadSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::string readWhole(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path);
        std::exit(2);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The keys of the file's steps, through the same calls a count would make.
std::vector<StepKey> keysOf(const std::string& text, bool ignoreCase) {
    StepKeyBuilder builder(KeyRule::TrimmedLine, ignoreCase);
    EncodingSurvey survey;
    FileStepKeys keys;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + at, end - at);
        survey.add(line);
        survey.endLine();
        if (line.find_first_not_of(" \t") != std::string_view::npos) keys.add(builder.keyOf(line));
        at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    const std::span<const StepKey> resolved = keys.resolve(survey.isValidUtf8());
    return {resolved.begin(), resolved.end()};
}

long peakKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    bool ignoreCase = false;
    int runs = 3;
    int arg = 1;
    for (; arg < argc && argv[arg][0] == '-'; ++arg) {
        if (std::strcmp(argv[arg], "--ignore-case") == 0) {
            ignoreCase = true;
        } else if (std::strcmp(argv[arg], "--runs") == 0 && arg + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++arg]));
        } else {
            break;
        }
    }
    if (argc - arg != 2) {
        std::fprintf(stderr, "usage: stepcount_align_bench [--ignore-case] [--runs N] OLD NEW\n");
        return 2;
    }
    const std::string oldText = readWhole(argv[arg]);
    const std::string newText = readWhole(argv[arg + 1]);

    Clock::time_point start = Clock::now();
    const std::vector<StepKey> oldKeys = keysOf(oldText, ignoreCase);
    const std::vector<StepKey> newKeys = keysOf(newText, ignoreCase);
    const double keySeconds = secondsSince(start);

    start = Clock::now();
    KeyInterner interner;
    std::vector<std::uint32_t> oldIds, newIds;
    interner.internAll(oldKeys, oldIds);
    interner.internAll(newKeys, newIds);
    const double internSeconds = secondsSince(start);

    const long peakBefore = peakKiB();
    AlignmentResult result;
    double alignSeconds = 1e9, alignCpuSeconds = 1e9;
    for (int run = 0; run < runs; ++run) {
        start = Clock::now();
        const double cpuStart = threadSeconds();
        result = alignSteps(oldIds, newIds);
        alignSeconds = std::min(alignSeconds, secondsSince(start));
        alignCpuSeconds = std::min(alignCpuSeconds, threadSeconds() - cpuStart);
    }

    const ChangeFigures& f = result.figures;
    std::printf("steps        old %zu, new %zu, distinct keys %zu\n", oldIds.size(), newIds.size(),
                interner.size());
    std::printf("figures      added %llu, changed %llu, deleted %llu, unchanged %llu%s\n",
                static_cast<unsigned long long>(f.added), static_cast<unsigned long long>(f.changed),
                static_cast<unsigned long long>(f.deleted), static_cast<unsigned long long>(f.unchanged),
                result.approximate ? " (approximate)" : "");
    std::printf("keys         %.3f s (both files, with their encoding survey)\n", keySeconds);
    std::printf("numbering    %.3f s\n", internSeconds);
    std::printf("alignment    %.3f s (best of %d; processor time %.3f s)\n", alignSeconds, runs, alignCpuSeconds);
    std::printf("peak memory  %.1f MiB before the alignment, %.1f MiB after (the whole process, both files "
                "held)\n",
                static_cast<double>(peakBefore) / 1024, static_cast<double>(peakKiB()) / 1024);
    return 0;
}
