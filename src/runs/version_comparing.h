// Comparing two versions of a file: each is read as a count reads it, its
// real steps are keyed (the whole line without the blanks at its ends; for
// COBOL columns 7 to 72), the keys of both are aligned, and the figures and
// notes of the comparison are made.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "counters/languages.h"
#include "diff/alignment.h"
#include "diff/encoding_survey.h"
#include "diff/key_interner.h"
#include "diff/step_key.h"
#include "runs/language_counting.h"
#include "walk/file_counting.h"

namespace stepcount {

class VersionComparing : public FileCounting {
public:
    // `ignoreCase`: keys compare with ASCII letters folded.
    VersionComparing(LanguageSet languages, bool ignoreCase)
        : languages_(std::move(languages)), ignoreCase_(ignoreCase) {}
    std::unique_ptr<CounterSet> newCounterSet(MessageDisplay& display) override;

private:
    LanguageSet languages_;
    bool ignoreCase_;
};

// The comparers of one counting thread.
class VersionComparers : public CounterSet {
public:
    // The steps of two versions are aligned this many of each at a time, so
    // that memory stays bounded whatever the size of a file. Files of up to
    // this many steps are aligned whole; larger ones window by window in
    // step, and the comparison is marked approximate unless every step of
    // the shorter version was matched.
    static constexpr std::size_t kWindowSteps = 250'000;

    VersionComparers(const LanguageSet& languages, bool ignoreCase, MessageDisplay& display);

    CountedFile count(const FileLocation& file) override { return counters_.count(file); }
    ComparedFile compare(const FileSide& oldSide, const FileSide& newSide) override;

private:
    // Reads one version: counts its lines by class, keys its real steps and
    // surveys its encoding.
    class VersionReader : public LineBytesSink {
    public:
        explicit VersionReader(bool ignoreCase);
        void start(StepText stepText);
        void lineStarts() override;
        void lineBytes(std::string_view piece) override;
        void lineClassified(LineVerdict verdict);

        LineFigures lines;
        diff::FileStepKeys keys;   // of the window being read
        diff::EncodingSurvey survey;

    private:
        diff::StepKeyBuilder wholeLine_;
        diff::StepKeyBuilder programColumns_;
        diff::StepKeyBuilder* builder_ = &wholeLine_;
        bool firstLine_ = true;
        // The line so far: its first piece, still in the reader's buffer
        // until the next line is read; a line that comes in more pieces is
        // keyed as they come.
        std::string_view firstPiece_;
        std::size_t pieces_ = 0;
    };

    // Aligns a window of steps of each version.
    diff::AlignmentResult align(std::span<const diff::StepKey> oldKeys,
                                std::span<const diff::StepKey> newKeys);

    LanguageCounters counters_;
    std::array<VersionReader, 2> readers_;
    std::array<std::vector<std::uint32_t>, 2> ids_;
    diff::KeyInterner interner_;
    diff::StepAligner aligner_;
};

}  // namespace stepcount
