// Turns the tool's UTF-8 texts and the file system's names into the bytes of
// a result file.
//
// In CP932 (Shift_JIS) output, each path component (each part between
// separators) that is valid UTF-8 is converted character by character with
// glibc's CP932 table (platform/cp932_table.h), on every system alike, a
// character that has no CP932 form becoming one "?"; a component that is not
// valid UTF-8 is kept as its raw bytes. In UTF-8 output every byte is kept.
#pragma once

#include <string>
#include <string_view>

namespace stepcount {

enum class ResultEncoding { CP932, UTF8 };

class TextEncoder {
public:
    explicit TextEncoder(ResultEncoding encoding) : encoding_(encoding) {}

    ResultEncoding encoding() const { return encoding_; }

    // Appends `text` to `out` in the output encoding, component by component
    // between the separators of paths (kPathSeparators: "/"; on Windows "\"
    // and "/"), which are kept as they are.
    void appendPath(std::string& out, std::string_view text) const;

    // `text`, which must be UTF-8, in the output encoding.
    std::string encode(std::string_view text) const;

private:
    void appendComponent(std::string& out, std::string_view component) const;

    ResultEncoding encoding_;
};

}  // namespace stepcount
