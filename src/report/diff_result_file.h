// The result file of a comparison of two versions of a tree: a header, a row
// for every folder and file of either version, in the walk's order, and a
// last row with the totals of the files.
//
//   folder,name,File|Directory,status,language,old steps,new steps,added,
//   changed,deleted,unchanged,added + changed,old comment lines,new comment
//   lines,old blank lines,new blank lines,notes
//
// Folder rows have their status (new or deleted when in one version only)
// and nothing else; files of no chosen language and files that could not be
// read have their status (and language) but no counts. The notes are
// "近似" (aligned by the cheaper method) and "文字コード相違" (one version
// UTF-8, the other not), separated by "／".
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "report/csv_output.h"
#include "walk/walk_observer.h"

namespace stepcount {

class DiffResultFileWriter : public WalkObserver {
public:
    DiffResultFileWriter(std::string path, ResultEncoding encoding) : csv_(std::move(path), encoding) {}

    void onRunStart(const RunStart& start) override;
    void onFolderPair(std::string_view folder, std::string_view name, Sides sides) override;
    void onFilePair(const PairedFile& file) override;
    // Writes the row of totals (when the walk went through), then what is
    // left, and closes the file.
    void onRunEnd(RunEnd how) override;

    const std::string& path() const { return csv_.path(); }

private:
    // The eleven count columns, in their order.
    using Counts = std::array<std::uint64_t, 11>;

    void appendLeading(std::string_view folder, std::string_view name, std::string_view word,
                       std::string_view status);

    CsvOutput csv_;
    std::string row_;
    Counts totals_{};
    // Fixed texts in the file's encoding.
    std::string statuses_[6];
    std::string approximate_;
    std::string encodingDiffers_;
    std::string separator_;
};

}  // namespace stepcount
