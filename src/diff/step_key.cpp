#include "diff/step_key.h"

#include <algorithm>

namespace stepcount::diff {

namespace {

constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }

constexpr bool isLeadByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

constexpr char lowered(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// Bytes folded at a time, on the stack.
constexpr std::size_t kFoldChunk = 512;

}  // namespace

StepKeyBuilder::StepKeyBuilder(KeyRule rule, bool ignoreCase) : rule_(rule), ignoreCase_(ignoreCase) {
    begin();
}

void StepKeyBuilder::begin() {
    started_ = rule_ == KeyRule::CobolProgramArea;  // nothing is skipped at its start
    holding_ = false;
    secondByte_ = false;
    split_ = false;
    column_ = 0;
    utf8_.reset();
}

void StepKeyBuilder::add(std::string_view piece) {
    const char* data = piece.data();
    const char* end = data + piece.size();
    if (rule_ == KeyRule::TrimmedLine) {
        if (!started_) {
            // A blank is never part of a double-byte character: nothing to parse.
            while (data != end && isBlank(*data)) ++data;
            if (data == end) return;
            started_ = true;
        }
        take<true>(data, end);
        return;
    }
    const std::size_t first = column_;
    column_ += piece.size();
    if (first >= kProgramAreaEnd) return;
    const std::size_t before = first < kProgramAreaStart ? std::min(kProgramAreaStart - first, piece.size()) : 0;
    // The sequence area counts only for where double-byte characters begin.
    if (ignoreCase_) passOver(data, data + before);
    data += before;
    if (column_ > kProgramAreaEnd) end -= column_ - kProgramAreaEnd;
    if (data != end) take<false>(data, end);
}

StepKeys StepKeyBuilder::keyOf(std::string_view line) {
    if (ignoreCase_ || rule_ != KeyRule::TrimmedLine) {
        begin();
        add(line);
        return finish();
    }
    const char* data = line.data();
    const char* end = data + line.size();
    while (data != end && isBlank(*data)) ++data;
    while (end != data && isBlank(end[-1])) --end;
    KeyHasher hasher;
    hasher.update(data, static_cast<std::size_t>(end - data));
    const StepKey key = hasher.digest();
    return StepKeys{key, key};
}

StepKeys StepKeyBuilder::finish() {
    if (holding_) {
        utf8_ = utf8Held_;
        if (split_) cp932_ = cp932Held_;
    }
    StepKeys keys;
    keys.utf8 = utf8_.digest();
    keys.cp932 = split_ ? cp932_.digest() : keys.utf8;
    return keys;
}

// Takes bytes of the key, all after its first. Spaces (and tabs, with
// `kTabs`) at the end of them may end the key: they are hashed, but the state
// before them is kept to go back to if the line ends before anything else.
template <bool kTabs>
void StepKeyBuilder::take(const char* data, const char* end) {
    const char* last = end;
    while (last != data && (last[-1] == ' ' || (kTabs && last[-1] == '\t'))) --last;
    if (last != data) {
        holding_ = false;
        emit(data, last);
    }
    if (last != end) {
        if (!holding_) hold();
        emit(last, end);
    }
}

void StepKeyBuilder::hold() {
    holding_ = true;
    utf8Held_ = utf8_;
    if (split_) cp932Held_ = cp932_;
}

void StepKeyBuilder::emit(const char* data, const char* end) {
    if (ignoreCase_) {
        emitFolded(data, end);
    } else {
        utf8_.update(data, static_cast<std::size_t>(end - data));
    }
}

// Both readings of the bytes. Until a second byte of a double-byte character
// is an upper-case letter they are the same and only one is hashed; from
// there on the CP932 reading goes its own way from the state they shared.
void StepKeyBuilder::emitFolded(const char* data, const char* end) {
    char utf8[kFoldChunk];
    char cp932[kFoldChunk];
    while (data != end) {
        const std::size_t size = std::min(kFoldChunk, static_cast<std::size_t>(end - data));
        bool differs = false;
        for (std::size_t i = 0; i < size; ++i) {
            const char c = data[i];
            utf8[i] = lowered(c);
            if (secondByte_) {
                cp932[i] = c;
                differs |= utf8[i] != c;
                secondByte_ = false;
            } else {
                cp932[i] = utf8[i];
                secondByte_ = isLeadByte(c);
            }
        }
        if (differs && !split_) {
            split_ = true;
            cp932_ = utf8_;
            cp932Held_ = utf8Held_;
        }
        utf8_.update(utf8, size);
        if (split_) cp932_.update(cp932, size);
        data += size;
    }
}

// Bytes that are not part of the key but may begin a double-byte character.
void StepKeyBuilder::passOver(const char* data, const char* end) {
    for (; data != end; ++data) secondByte_ = !secondByte_ && isLeadByte(*data);
}

std::span<const StepKey> FileStepKeys::resolve(bool fileIsValidUtf8) {
    if (!fileIsValidUtf8) {
        for (const auto& [index, key] : cp932Keys_) keys_[index] = key;
    }
    cp932Keys_.clear();
    return keys_;
}

}  // namespace stepcount::diff
