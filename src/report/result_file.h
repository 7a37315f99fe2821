// The result file of a run: opened for appending when the run starts, a
// header, then one row for each folder and file the walk meets, written as
// they come, and closed when the run ends. Write failures are raised, never
// hidden; a write that fails part way leaves the file cut back to its last
// whole row.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/append_file.h"
#include "platform/text_encoding.h"
#include "report/result_format.h"
#include "walk/walk_observer.h"

namespace stepcount {

// Writing to the result file failed (disk full, I/O error).
using ResultWriteError = OutputWriteError;

class ResultFileWriter : public WalkObserver {
public:
    // The result file `path`, in `encoding`; nothing is opened yet.
    ResultFileWriter(std::string path, ResultEncoding encoding);
    ~ResultFileWriter() override;

    // Opens the file for appending, creating it when missing (OutputOpenError
    // when it cannot be opened), and writes the header of the run's layout;
    // in UTF-8, a new or empty file first gets a byte-order mark.
    void onRunStart(const RunStart& start) override;
    void onFolder(std::string_view folder, std::string_view name) override;
    void onFile(const WalkedFile& file) override;
    // Writes what is left and closes the file.
    void onRunEnd(RunEnd how) override;

    const std::string& path() const { return path_; }

private:
    const std::string& encodedFolder(std::string_view folder);
    const std::string& encodedName(std::string_view name);
    void append(std::string_view bytes);
    void flush();
    void cutToWholeRows(std::size_t done);

    std::string path_;
    AppendFile file_;
    bool empty_ = true;
    std::uint64_t written_ = 0;    // size of the file up to its last whole line written
    ResultLayout layout_ = ResultLayout::Standard;
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
