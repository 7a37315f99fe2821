// How the walk has a file counted: a run gives it a FileCounting, which makes
// one CounterSet for each counting thread.
#pragma once

#include <memory>

#include "counters/count_result.h"
#include "counters/languages.h"
#include "platform/file_system.h"
#include "platform/message_display.h"
#include "walk/walk_observer.h"

namespace stepcount {

// What became of a file.
struct CountedFile {
    LanguageId language = LanguageId::None;   // whose counter took it
    FileCount count;                          // nothing when it was not counted
    FileFacts facts;                          // size and last write when counted
};

// One version of a file in a comparison: where it is, or nothing when the
// file is not in that version; a FIFO, socket or device is never opened.
struct FileSide {
    const FileLocation* location = nullptr;
    bool special = false;
    // In a folder of that version that could not be read (its failure was
    // told): the file is there but cannot be read.
    bool lost = false;
    bool present() const { return location != nullptr || lost; }
};

// The counters of one counting thread. A set counts one file at a time.
class CounterSet {
public:
    virtual ~CounterSet() = default;
    // Counts a file (a regular file, or an entry that cannot be inspected)
    // with the counter of its language.
    virtual CountedFile count(const FileLocation& file) = 0;
    // Compares two versions of a file (at least one of them present).
    virtual ComparedFile compare(const FileSide& oldSide, const FileSide& newSide);
};

class FileCounting {
public:
    virtual ~FileCounting() = default;
    // Called on the walking thread, once for each counting thread. The
    // counters show their failures on `display`.
    virtual std::unique_ptr<CounterSet> newCounterSet(MessageDisplay& display) = 0;
};

}  // namespace stepcount
