// The result file of a run: opened for appending, a header, then one row for
// each folder and file the walk meets, written as they come. Write failures
// are raised, never hidden; a write that fails part way leaves the file cut
// back to its last whole row.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/file_system.h"
#include "platform/text_encoding.h"
#include "report/result_format.h"
#include "runs/walk_observer.h"

namespace stepcount {

// Writing to the result file failed (disk full, I/O error).
class ResultWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ResultFileWriter : public WalkObserver {
public:
    // Opens `path` for appending, creating it when missing; nullptr when it
    // cannot be opened.
    static std::unique_ptr<ResultFileWriter> open(const std::string& path, ResultLayout layout,
                                                  ResultEncoding encoding);

    // Writes the layout's header; in UTF-8, a new or empty file first gets a
    // byte-order mark.
    void writeHeader();

    void onFolder(std::string_view folder, std::string_view name) override;
    void onFile(std::string_view folder, std::string_view name, const FileFacts& facts,
                const FileCount& count) override;

    // Writes what is left and closes the file.
    void close();

    ~ResultFileWriter() override;

private:
    ResultFileWriter(UniqueFd fd, bool empty, std::uint64_t size, ResultLayout layout,
                     ResultEncoding encoding);
    const std::string& encodedFolder(std::string_view folder);
    const std::string& encodedName(std::string_view name);
    void append(std::string_view bytes);
    void flush();
    void cutToWholeRows(std::size_t done);

    UniqueFd fd_;
    bool empty_;
    std::uint64_t written_;        // size of the file up to its last whole line written
    ResultLayout layout_;
    TextEncoder encoder_;
    std::string pending_;
    std::string row_;
    std::string name_;             // the entry name of the row being formed, encoded
    bool folderKnown_ = false;
    std::string folder_;           // the folder path of the last row, as walked
    std::string encodedFolder_;    // the same in the output encoding
    bool dateKnown_ = false;
    std::time_t dateTime_ = 0;     // the last write of the last counted row
    std::string date_;             // its date column
};

}  // namespace stepcount
