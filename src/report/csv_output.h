// A CSV file that a run appends its rows to: opened when the run starts (a
// new or empty file in UTF-8 first gets a byte-order mark), rows buffered and
// written in large pieces, cut back to its last whole row when a write fails
// part way, closed when the run ends. Names and folder paths go in through
// the file's encoding.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/append_file.h"
#include "platform/text_encoding.h"

namespace stepcount {

class CsvOutput {
public:
    CsvOutput(std::string path, ResultEncoding encoding);

    const std::string& path() const { return path_; }

    // Opens the file (OutputOpenError when it cannot be) and writes the
    // header, UTF-8 text ending in "\n" (written as CR LF), in the file's
    // encoding.
    void open(std::string_view header);

    // Appends a whole row (the row's own bytes, in the file's encoding).
    // OutputWriteError when writing fails.
    void appendRow(std::string_view row);

    // Writes what is left and closes the file.
    void close();

    // A folder path or an entry name in the file's encoding; the folder of
    // the last row is kept, as rows come folder by folder.
    const std::string& encodedFolder(std::string_view folder);
    const std::string& encodedName(std::string_view name);
    // A fixed text of the tool (UTF-8) in the file's encoding.
    std::string encodedText(std::string_view text) const { return encoder_.encode(text); }

private:
    void flush();
    void cutToWholeRows(std::size_t done);

    std::string path_;
    TextEncoder encoder_;
    AppendFile file_;
    std::uint64_t written_ = 0;   // size of the file up to its last whole row written
    std::string pending_;
    std::string name_;            // the last name encoded
    bool folderKnown_ = false;
    std::string folder_;          // the folder path of the last row, as walked
    std::string encodedFolder_;   // the same in the file's encoding
};

}  // namespace stepcount
