// What a run tells its outputs: its beginning, each folder and file the walk
// meets, in the walk's order, and its end. The result file writer, the
// progress displays and the summaries are observers; a new output is a new
// observer, not a change to the walk.
#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "counters/count_result.h"
#include "diff/change_figures.h"
#include "counters/languages.h"
#include "platform/file_system.h"

namespace stepcount {

// An output that cannot be opened at the start of a run (its message says
// why); the run ends before anything is read.
class OutputOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writing an output failed (disk full, I/O error); the run ends.
class OutputWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A run begins: what it counts, and where.
struct RunStart {
    const LanguageSet& languages;
    std::string_view countFolder;
};

// How a run ended.
enum class RunEnd {
    Completed,   // the walk went through the whole tree
    Stopped,     // a stop was asked for; the rows given so far are whole
    Failed,      // an output failed (the result file could not be written)
};

// A file the walk met.
struct WalkedFile {
    std::string_view folder;   // the path of the folder that holds it, as walked
    std::string_view name;
    // The language whose counter took the file, also when it could not be
    // read; None for a file of no language the run counts.
    LanguageId language;
    // Size and last write (of a link's target for a link): known for a
    // counted file only; a file that was not counted has them zero, for it is
    // not opened.
    const FileFacts& facts;
    const FileCount& count;    // nothing when it was not counted
};

// Comparing two versions of a tree (OLD and NEW): which of them an entry is in.
enum class Sides : std::uint8_t { Both, OldOnly, NewOnly };

// What became of a file when two versions were compared.
enum class PairStatus : std::uint8_t {
    Added,        // only in NEW: all its steps are added
    Deleted,      // only in OLD: all its steps are deleted
    Changed,      // in both, some step added, changed or deleted
    Unchanged,    // in both, no step added, changed or deleted
    NotCounted,   // of no language the run counts
    Unreadable,   // of a language the run counts, and cannot be read on a side
};

// Steps, comment lines and blank lines of one version of a file.
struct LineFigures {
    std::uint64_t steps = 0;
    std::uint64_t comment = 0;
    std::uint64_t blank = 0;
};

// How the steps of two versions of a file line up.
using StepChanges = diff::ChangeFigures;

// The comparison of a file, made on a counting thread.
struct ComparedFile {
    PairStatus status = PairStatus::NotCounted;
    LanguageId language = LanguageId::None;
    LineFigures oldLines;
    LineFigures newLines;
    StepChanges changes;
    bool approximate = false;       // too large and too different to align exactly
    bool encodingDiffers = false;   // one side UTF-8, the other not
};

// A file of a comparison. `folder` is the folder that holds it relative to
// the two roots ("." for the roots themselves, "./src/sub" below them);
// `name` is its name in NEW (in OLD when only there).
struct PairedFile {
    std::string_view folder;
    std::string_view name;
    Sides sides;
    const ComparedFile& compared;
};

// A run calls its observers from one thread, the one that started it, one
// call at a time and in the walk's order, whatever the number of files
// counted at once: onRunStart first, then the entries, then onRunEnd.
class WalkObserver {
public:
    virtual ~WalkObserver() = default;

    // Before the first entry; an observer may open its output here (an
    // exception from it ends the run before anything is read).
    virtual void onRunStart(const RunStart& /*start*/) {}
    // A folder `name` inside the folder `folder`; its content follows.
    virtual void onFolder(std::string_view /*folder*/, std::string_view /*name*/) {}
    virtual void onFile(const WalkedFile& /*file*/) {}
    // Comparing two versions: a folder in one of them or in both (its content
    // follows), and a file.
    virtual void onFolderPair(std::string_view /*folder*/, std::string_view /*name*/,
                              Sides /*sides*/) {}
    virtual void onFilePair(const PairedFile& /*file*/) {}
    // A folder below the count folder whose content could not be listed, or
    // not wholly (it cannot be opened or read, or it went away while it was
    // walked): its path as walked, and the system's error number.
    virtual void onFolderFailure(std::string_view /*path*/, int /*errorNumber*/) {}
    // An entry that is listed but not counted or not walked, for a reason the
    // user is told (a link or a submodule in a repository).
    virtual void onNotice(std::string_view /*path*/, std::string_view /*reason*/) {}
    // After the last entry, however the run ended; an observer writes out
    // and closes its output here.
    virtual void onRunEnd(RunEnd /*how*/) {}
};

// Passes everything on to several observers, in the order they were added.
// When one cannot start, those started before it are told that the run
// failed. Every observer is told of the end of a run, even when one before it
// fails there; the first failure is passed on after the last of them.
class ObserverFanOut : public WalkObserver {
public:
    ObserverFanOut() = default;
    explicit ObserverFanOut(std::vector<WalkObserver*> observers) : observers_(std::move(observers)) {}

    void add(WalkObserver& observer) { observers_.push_back(&observer); }

    void onRunStart(const RunStart& start) override;
    void onFolder(std::string_view folder, std::string_view name) override;
    void onFile(const WalkedFile& file) override;
    void onFolderPair(std::string_view folder, std::string_view name, Sides sides) override;
    void onFilePair(const PairedFile& file) override;
    void onFolderFailure(std::string_view path, int errorNumber) override;
    void onNotice(std::string_view path, std::string_view reason) override;
    void onRunEnd(RunEnd how) override;

private:
    std::vector<WalkObserver*> observers_;
};

}  // namespace stepcount
