// The result file of a count: opened for appending when the run starts, a
// header, then one row for each folder and file the walk meets, written as
// they come, and closed when the run ends. Write failures are raised, never
// hidden; a write that fails part way leaves the file cut back to its last
// whole row.
#pragma once

#include <ctime>
#include <string>

#include "report/csv_output.h"
#include "report/result_format.h"
#include "walk/walk_observer.h"

namespace stepcount {

// Writing to the result file failed (disk full, I/O error).
using ResultWriteError = OutputWriteError;

class ResultFileWriter : public WalkObserver {
public:
    // The result file `path`, in `encoding`; nothing is opened yet.
    ResultFileWriter(std::string path, ResultEncoding encoding) : csv_(std::move(path), encoding) {}

    // Opens the file for appending, creating it when missing (OutputOpenError
    // when it cannot be opened), and writes the header of the run's layout;
    // in UTF-8, a new or empty file first gets a byte-order mark.
    void onRunStart(const RunStart& start) override;
    void onFolder(std::string_view folder, std::string_view name) override;
    void onFile(const WalkedFile& file) override;
    // Writes what is left and closes the file.
    void onRunEnd(RunEnd how) override;

    const std::string& path() const { return csv_.path(); }

private:
    CsvOutput csv_;
    ResultLayout layout_ = ResultLayout::Standard;
    std::string row_;
    bool dateKnown_ = false;
    std::time_t dateTime_ = 0;     // the last write of the last counted row
    std::string date_;             // its date column
};

}  // namespace stepcount
