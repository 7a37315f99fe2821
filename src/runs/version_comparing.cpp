#include "runs/version_comparing.h"

namespace stepcount {

namespace {

constexpr int kOld = 0;
constexpr int kNew = 1;

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// One version is UTF-8 holding non-ASCII text and the other holds non-ASCII
// bytes that are not UTF-8: their keys differ byte for byte even where the
// text is the same.
bool encodingsDiffer(const diff::EncodingSurvey& a, const diff::EncodingSurvey& b) {
    auto utf8Text = [](const diff::EncodingSurvey& s) { return s.hasNonAscii() && s.isValidUtf8(); };
    auto otherText = [](const diff::EncodingSurvey& s) { return s.hasNonAscii() && !s.isValidUtf8(); };
    return (utf8Text(a) && otherText(b)) || (otherText(a) && utf8Text(b));
}

}  // namespace

std::unique_ptr<CounterSet> VersionComparing::newCounterSet(MessageDisplay& display) {
    return std::make_unique<VersionComparers>(languages_, ignoreCase_, display);
}

VersionComparers::VersionReader::VersionReader(bool ignoreCase)
    : wholeLine_(diff::KeyRule::TrimmedLine, ignoreCase),
      programColumns_(diff::KeyRule::CobolProgramArea, ignoreCase) {}

void VersionComparers::VersionReader::start(StepText stepText) {
    builder_ = stepText == StepText::ProgramColumns ? &programColumns_ : &wholeLine_;
    lines = LineFigures{};
    keys.clear();
    survey.clear();
    firstLine_ = true;
    pieces_ = 0;
}

void VersionComparers::VersionReader::lineStarts() { pieces_ = 0; }

// Most lines come in one piece: it is keyed only when the line turns out to
// be a step. A line in several pieces is keyed as they come, for the first
// ones are gone when the next is read.
void VersionComparers::VersionReader::lineBytes(std::string_view piece) {
    if (firstLine_) {
        // A byte-order mark is no part of the file's first line.
        if (piece.starts_with(kUtf8ByteOrderMark)) piece.remove_prefix(3);
        firstLine_ = false;
    }
    if (!survey.settled()) survey.add(piece);
    if (++pieces_ == 1) {
        firstPiece_ = piece;
        return;
    }
    if (pieces_ == 2) {
        builder_->begin();
        builder_->add(firstPiece_);
    }
    builder_->add(piece);
}

void VersionComparers::VersionReader::lineClassified(LineVerdict verdict) {
    survey.endLine();
    switch (verdict.lineClass) {
        case LineClass::Comment: ++lines.comment; break;
        case LineClass::Blank: ++lines.blank; break;
        case LineClass::Code:
            ++lines.steps;
            keys.add(pieces_ <= 1 ? builder_->keyOf(firstPiece_) : builder_->finish());
            break;
        default: break;   // property definitions, debugging and continuation lines
    }
}

VersionComparers::VersionComparers(const LanguageSet& languages, bool ignoreCase,
                                   MessageDisplay& display)
    : counters_(languages, display), readers_{VersionReader(ignoreCase), VersionReader(ignoreCase)} {}

// Most files of a release are unchanged or changed in a few places: the
// steps the two windows begin and end with alike are matched before
// anything is numbered.
diff::AlignmentResult VersionComparers::align(std::span<const diff::StepKey> oldKeys,
                                              std::span<const diff::StepKey> newKeys) {
    std::size_t same = 0;
    while (same < oldKeys.size() && same < newKeys.size() && oldKeys[same] == newKeys[same]) ++same;
    std::size_t sameEnd = 0;
    while (sameEnd < oldKeys.size() - same && sameEnd < newKeys.size() - same &&
           oldKeys[oldKeys.size() - 1 - sameEnd] == newKeys[newKeys.size() - 1 - sameEnd]) {
        ++sameEnd;
    }
    interner_.clear();
    const std::span<const diff::StepKey> keys[2] = {oldKeys, newKeys};
    for (const int side : {kOld, kNew}) {
        ids_[side].clear();
        interner_.internAll(keys[side].subspan(same, keys[side].size() - same - sameEnd), ids_[side]);
    }
    diff::AlignmentResult aligned = aligner_.align(ids_[kOld], ids_[kNew]);
    aligned.figures.unchanged += same + sameEnd;
    return aligned;
}

ComparedFile VersionComparers::compare(const FileSide& oldSide, const FileSide& newSide) {
    ComparedFile compared;
    const FileSide* sides[2] = {&oldSide, &newSide};
    const FileSide& named = newSide.location != nullptr ? newSide : oldSide;
    int fileKind = 0;
    compared.language =
        named.location == nullptr ? LanguageId::None
                                  : counters_.ChkMultiLangType(named.location->path, fileKind);
    if (compared.language == LanguageId::None) {
        compared.status = PairStatus::NotCounted;
        return compared;
    }
    // Each present version opened; one that is a FIFO or the like, or lies
    // in a folder that could not be read, or cannot be opened, leaves the
    // file unread.
    LanguageCounter& counter = counters_.counterOf(compared.language);
    std::unique_ptr<ClassifiedLines> lines[2];
    bool readable = true;
    for (const int side : {kOld, kNew}) {
        const FileSide& version = *sides[side];
        if (!version.present()) continue;
        readers_[side].start(languageOf(compared.language).stepText);
        if (version.special || version.lost) {
            readable = false;
            continue;
        }
        lines[side] = counter.openLines(*version.location, fileKind, static_cast<unsigned>(side));
        if (lines[side]->failed()) readable = false;
    }
    if (!readable) {
        compared.status = PairStatus::Unreadable;
        return compared;
    }

    // Window by window: as many steps of each version as a window holds.
    bool ended[2] = {!lines[kOld], !lines[kNew]};
    bool windowed = false;
    LineVerdict verdict{LineClass::Blank};
    for (;;) {
        for (const int side : {kOld, kNew}) {
            VersionReader& reader = readers_[side];
            reader.keys.clear();
            while (!ended[side] && reader.keys.size() < kWindowSteps) {
                if (!lines[side]->next(verdict, reader)) {
                    ended[side] = true;
                    break;
                }
                reader.lineClassified(verdict);
            }
            if (lines[side] && lines[side]->failed()) readable = false;
        }
        if (!readable) break;
        const bool last = ended[kOld] && ended[kNew];
        windowed = windowed || !last;
        const diff::AlignmentResult aligned = align(
            readers_[kOld].keys.resolve(readers_[kOld].survey.isValidUtf8()),
            readers_[kNew].keys.resolve(readers_[kNew].survey.isValidUtf8()));
        compared.changes.added += aligned.figures.added;
        compared.changes.changed += aligned.figures.changed;
        compared.changes.deleted += aligned.figures.deleted;
        compared.changes.unchanged += aligned.figures.unchanged;
        compared.approximate = compared.approximate || aligned.approximate;
        if (last) break;
    }
    lines[kOld].reset();
    lines[kNew].reset();
    if (!readable) {
        const LanguageId language = compared.language;
        compared = ComparedFile{};
        compared.status = PairStatus::Unreadable;
        compared.language = language;
        return compared;
    }
    if (oldSide.present()) compared.oldLines = readers_[kOld].lines;
    if (newSide.present()) compared.newLines = readers_[kNew].lines;
    // Windows aligned one by one match no more than the best alignment;
    // when every step of the shorter version matched, nothing could match
    // more.
    if (windowed && compared.changes.unchanged <
                        std::min(compared.oldLines.steps, compared.newLines.steps)) {
        compared.approximate = true;
    }
    if (!oldSide.present()) {
        compared.status = PairStatus::Added;
    } else if (!newSide.present()) {
        compared.status = PairStatus::Deleted;
    } else {
        const StepChanges& c = compared.changes;
        compared.status = c.added + c.changed + c.deleted > 0 ? PairStatus::Changed : PairStatus::Unchanged;
        compared.encodingDiffers = encodingsDiffer(readers_[kOld].survey, readers_[kNew].survey);
    }
    return compared;
}

}  // namespace stepcount
