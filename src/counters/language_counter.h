// A counter of any language behind one face, so that the runs can hold the
// counters of the languages they count in a table and ask each the same way.
#pragma once

#include <memory>
#include <utility>
#include <string>

#include "counters/classified_lines.h"
#include "counters/count_result.h"
#include "counters/line_class.h"
#include "platform/line_reader.h"
#include "platform/file_system.h"
#include "platform/message_display.h"

namespace stepcount {

// Receives the verdict of each line of a file read for a comparison.
class LineVerdictSink {
public:
    virtual ~LineVerdictSink() = default;
    virtual void lineClassified(LineVerdict verdict) = 0;
};

class LanguageCounter {
public:
    virtual ~LanguageCounter() = default;

    // The counter's type check (fiChkType; VB: fiGetType): kCounted, with the
    // kind of file in `fileKind`, when `path` names a file of the language.
    virtual int checkType(const std::string& path, int& fileKind) = 0;

    // Counts a file as fiCalcFile does, its type check included. On
    // kCounted, `count` holds the record and `facts` the file's size and
    // last write; on any other status both are left as they were.
    virtual int count(const FileLocation& file, FileCount& count, FileFacts& facts) = 0;

    // The same for a file whose type check gave `fileKind` already.
    virtual int countOfKind(const FileLocation& file, int fileKind, FileCount& count,
                            FileFacts& facts) = 0;

    // Reads a file whose type check gave `fileKind` as a count reads it:
    // each line's whole bytes go to `whole`, then its verdict to `verdicts`.
    // kCounted when every line was read; a failure is shown as the count's
    // error dialog and gives kFailureShown.
    virtual int readLines(const FileLocation& file, int fileKind, LineBytesSink& whole,
                          LineVerdictSink& verdicts) = 0;

    // The lines of a file whose type check gave `fileKind`, read with the
    // calling thread's reader `readerSlot` (so that two files can be read
    // in turns).
    virtual std::unique_ptr<ClassifiedLines> openLines(const FileLocation& file, int fileKind,
                                                       unsigned readerSlot) = 0;
};

// The LanguageCounter of one counter class.
template <class Counter>
class CounterOf final : public LanguageCounter {
public:
    explicit CounterOf(MessageDisplay& display) : counter_(display) {}

    int checkType(const std::string& path, int& fileKind) override {
        return counter_.checkType(path, fileKind);
    }

    int count(const FileLocation& file, FileCount& count, FileFacts& facts) override {
        typename Counter::Record record{};
        const int status = counter_.fiCalcFile(file, record);
        keep(status, record, count, facts);
        return status;
    }

    int countOfKind(const FileLocation& file, int fileKind, FileCount& count,
                    FileFacts& facts) override {
        typename Counter::Record record{};
        const int status = counter_.countOfKind(file, fileKind, record);
        keep(status, record, count, facts);
        return status;
    }

    int readLines(const FileLocation& file, int fileKind, LineBytesSink& whole,
                  LineVerdictSink& verdicts) override {
        return counter_.readLines(file, fileKind, whole,
                                  [&verdicts](LineVerdict verdict) { verdicts.lineClassified(verdict); });
    }

    std::unique_ptr<ClassifiedLines> openLines(const FileLocation& file, int fileKind,
                                               unsigned readerSlot) override {
        return counter_.openLines(file, fileKind, readerSlot);
    }

private:
    void keep(int status, const typename Counter::Record& record, FileCount& count,
              FileFacts& facts) const {
        if (status != kCounted) return;
        count = record;
        facts = counter_.fileFacts();
    }

    Counter counter_;
};

template <class Counter>
std::unique_ptr<LanguageCounter> makeCounterOf(MessageDisplay& display) {
    return std::make_unique<CounterOf<Counter>>(display);
}

}  // namespace stepcount
