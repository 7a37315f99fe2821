// A counter of any language behind one face, so that the runs can hold the
// counters of the languages they count in a table and ask each the same way.
#pragma once

#include <memory>
#include <string>

#include "counters/count_result.h"
#include "platform/file_system.h"
#include "platform/message_display.h"

namespace stepcount {

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
