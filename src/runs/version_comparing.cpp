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
    stepsLeftOut = 0;
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
            if (keys.size() < kMaxAlignedSteps) {
                keys.add(pieces_ <= 1 ? builder_->keyOf(firstPiece_) : builder_->finish());
            } else {
                ++stepsLeftOut;
            }
            break;
        default: break;   // property definitions, debugging and continuation lines
    }
}

VersionComparers::VersionComparers(const LanguageSet& languages, bool ignoreCase,
                                   MessageDisplay& display)
    : counters_(languages, display), readers_{VersionReader(ignoreCase), VersionReader(ignoreCase)} {}

bool VersionComparers::read(const FileSide& side, LanguageId language, int fileKind,
                            VersionReader& reader) {
    reader.start(languageOf(language).stepText);
    // A FIFO, socket or device is never opened.
    if (side.special) return false;
    return counters_.counterOf(language).readLines(*side.location, fileKind, reader, reader) ==
           kCounted;
}

ComparedFile VersionComparers::compare(const FileSide& oldSide, const FileSide& newSide) {
    ComparedFile compared;
    const FileSide* sides[2] = {&oldSide, &newSide};
    const FileSide& named = newSide.present() ? newSide : oldSide;
    int fileKind = 0;
    compared.language = counters_.ChkMultiLangType(named.location->path, fileKind);
    if (compared.language == LanguageId::None) {
        compared.status = PairStatus::NotCounted;
        return compared;
    }
    bool readable = true;
    for (const int side : {kOld, kNew}) {
        if (sides[side]->present() && !read(*sides[side], compared.language, fileKind, readers_[side])) {
            readable = false;
        }
    }
    if (!readable) {
        compared.status = PairStatus::Unreadable;
        return compared;
    }

    std::span<const diff::StepKey> keys[2];
    bool approximate = false;
    for (const int side : {kOld, kNew}) {
        if (!sides[side]->present()) continue;
        VersionReader& reader = readers_[side];
        keys[side] = reader.keys.resolve(reader.survey.isValidUtf8());
        if (reader.stepsLeftOut > 0) approximate = true;
    }
    // Most files of a release are unchanged or changed in a few places: the
    // steps they begin and end with alike are matched before anything is
    // numbered.
    std::size_t same = 0;
    while (same < keys[kOld].size() && same < keys[kNew].size() && keys[kOld][same] == keys[kNew][same]) {
        ++same;
    }
    std::size_t sameEnd = 0;
    while (sameEnd < keys[kOld].size() - same && sameEnd < keys[kNew].size() - same &&
           keys[kOld][keys[kOld].size() - 1 - sameEnd] == keys[kNew][keys[kNew].size() - 1 - sameEnd]) {
        ++sameEnd;
    }
    interner_.clear();
    for (const int side : {kOld, kNew}) {
        ids_[side].clear();
        const std::span<const diff::StepKey> middle =
            keys[side].subspan(std::min(same, keys[side].size()),
                               keys[side].size() - std::min(keys[side].size(), same + sameEnd));
        interner_.internAll(middle, ids_[side]);
    }
    const diff::AlignmentResult aligned = aligner_.align(ids_[kOld], ids_[kNew]);
    compared.changes = aligned.figures;
    compared.changes.unchanged += same + sameEnd;
    // Steps left out of the alignment are unmatched: as many changed as
    // both versions left out, the rest added or deleted.
    const std::uint64_t leftOld = readers_[kOld].stepsLeftOut;
    const std::uint64_t leftNew = readers_[kNew].stepsLeftOut;
    const std::uint64_t bothLeft = std::min(leftOld, leftNew);
    compared.changes.changed += bothLeft;
    compared.changes.deleted += leftOld - bothLeft;
    compared.changes.added += leftNew - bothLeft;
    compared.approximate = aligned.approximate || approximate;

    if (oldSide.present()) compared.oldLines = readers_[kOld].lines;
    if (newSide.present()) compared.newLines = readers_[kNew].lines;
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
