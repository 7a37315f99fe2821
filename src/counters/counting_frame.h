// The counting frame that every counter shares: zero the record, check the
// file's type by its extension, read the file line by line through the line
// window, classify each line with the language's rules, tally, and compute
// the totals and the comment ratio. Every operation guards its whole body: a
// failure is shown in the counter's error dialog and gives kFailureShown.
//
// A language is described by a struct with:
//   Record                     the record it fills
//   Rules                      its line rules: start(fileKind), classify(line)
//   kExtensions                the extensions it accepts (lower case), each
//                              with the file kind it gives
//   kFailureSites              label and line number of each operation's
//                              error dialog (texts::CounterFailureSites)
// and optionally
//   static Rules makeRules()   when its rules are not default-constructed
//   static int fileKind(std::string_view lowerCaseExtension)
//                              in place of the kExtensions lookup
#pragma once

#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "counters/classified_lines.h"
#include "counters/count_result.h"
#include "counters/line_class.h"
#include "platform/ascii.h"
#include "platform/line_reader.h"
#include "platform/message_display.h"
#include "platform/texts.h"

namespace stepcount {

// An extension that a counter accepts, and the kind of file it names.
struct AcceptedExtension {
    std::string_view extension;
    int fileKind;
};

// Where a counter failure was caught, as its error dialog names it.
using texts::FailureSite;

// The error dialog's text: the failure's own message, one space, then a line
// with the operation's label and line number.
std::string counterFailureText(std::string_view message, const FailureSite& site);

// Shows the error dialog; never throws.
void showCounterFailure(MessageDisplay& display, const FailureSite& site,
                        std::string_view message) noexcept;

// Runs `body` (returning a status); a failure it throws is shown as the error
// dialog of `site` and gives kFailureShown. A stop asked for while a file is
// read (StopRequested, no std::exception) is no failure: it passes through.
template <class Body>
int runGuarded(MessageDisplay& display, const FailureSite& site, Body&& body) {
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        showCounterFailure(display, site, "Out of memory");
    } catch (const std::exception& failure) {
        showCounterFailure(display, site, failure.what());
    }
    return kFailureShown;
}

// The extension of a path as the type checks see it: everything after the
// last "." of the whole path (folder names included), lower-cased; nothing
// when the path has no ".".
bool pathExtension(std::string_view path, std::string& lowerCaseExtension);

// Adds one classified line to a record.
template <class Record>
void addLine(Record& record, LineVerdict verdict) {
    switch (verdict.lineClass) {
        case LineClass::Blank: ++record.ulBlankLines; break;
        case LineClass::Comment: ++record.ulCommentLines; break;
        case LineClass::Code: ++record.ulRealSteps; break;
        case LineClass::PropertyDefinition:
            if constexpr (requires { record.ulPropertySteps; }) ++record.ulPropertySteps;
            break;
        case LineClass::Debug:
            if constexpr (requires { record.ulDebugLines; }) ++record.ulDebugLines;
            break;
        case LineClass::Continuation: break;
    }
    if constexpr (requires { record.ulIdentDivLines; }) {
        switch (verdict.division) {
            case Division::None: break;
            case Division::Identification: ++record.ulIdentDivLines; break;
            case Division::Environment: ++record.ulEnvDivLines; break;
            case Division::Data: ++record.ulDataDivLines; break;
            case Division::Procedure: ++record.ulProcDivLines; break;
        }
    }
}

// The lines of one file by class (and, for COBOL records, by division),
// tallied without a branch on the class: every line of a count passes here.
template <class Record>
class LineTally {
public:
    void add(LineVerdict verdict) {
        ++byClass_[static_cast<std::size_t>(verdict.lineClass)];
        if constexpr (kDivisions) ++byDivision_[static_cast<std::size_t>(verdict.division)];
    }

    // Sets the line counts of `record`, as addLine would have for each line.
    void copyTo(Record& record) const {
        auto lines = [this](LineClass lineClass) { return byClass_[static_cast<std::size_t>(lineClass)]; };
        record.ulReadLines = 0;
        for (const std::uint32_t count : byClass_) record.ulReadLines += count;
        record.ulBlankLines = lines(LineClass::Blank);
        record.ulCommentLines = lines(LineClass::Comment);
        record.ulRealSteps = lines(LineClass::Code);
        if constexpr (requires { record.ulPropertySteps; }) {
            record.ulPropertySteps = lines(LineClass::PropertyDefinition);
        }
        if constexpr (requires { record.ulDebugLines; }) record.ulDebugLines = lines(LineClass::Debug);
        if constexpr (kDivisions) {
            auto division = [this](Division d) { return byDivision_[static_cast<std::size_t>(d)]; };
            record.ulIdentDivLines = division(Division::Identification);
            record.ulEnvDivLines = division(Division::Environment);
            record.ulDataDivLines = division(Division::Data);
            record.ulProcDivLines = division(Division::Procedure);
        }
    }

private:
    static constexpr bool kDivisions = requires(Record r) { r.ulIdentDivLines; };
    std::uint32_t byClass_[static_cast<std::size_t>(LineClass::Continuation) + 1] = {};
    std::uint32_t byDivision_[static_cast<std::size_t>(Division::Procedure) + 1] = {};
};

// Total steps and comment ratio. The ratio counts blank lines with the
// comment lines; it is divided first and multiplied by 100 after, in double.
// A file without steps has the ratio 0.0.
template <class Record>
void finishTotals(Record& record) {
    record.ulTotalSteps = record.ulRealSteps + record.ulCommentLines + record.ulBlankLines;
    const std::uint32_t nonSteps = record.ulCommentLines + record.ulBlankLines;
    if (record.ulTotalSteps == 0) {
        record.dCommentRate = 0.0;
        return;
    }
    const double quotient = static_cast<double>(nonSteps) / static_cast<double>(record.ulTotalSteps);
    record.dCommentRate = quotient * 100.0;
}

template <class Language>
class CountingFrame {
public:
    using Record = typename Language::Record;
    using Rules = typename Language::Rules;

    // Failures are shown on `display`, which must outlive the counter.
    explicit CountingFrame(MessageDisplay& display) : display_(&display) {}

    // Counts a file; on kCounted copies the whole record into `result`, which
    // is left untouched on every other status.
    int fiCalcFile(const FileLocation& file, Record& result) {
        return runGuarded(*display_, Language::kFailureSites.calcFile, [&] {
            const int status = fiExcCalc(file);
            if (status == kCounted) result = record_;
            return status;
        });
    }

    // Counts a file into the counter's own record. kNotOfLanguage also when
    // the type check failed and showed its own dialog.
    int fiExcCalc(const FileLocation& file) {
        return runGuarded(*display_, Language::kFailureSites.excCalc, [&] {
            resetRecord();
            int kind = 0;
            if (checkType(file.path, kind) != kCounted) return kNotOfLanguage;
            return countIntoRecord(file, kind);
        });
    }

    // Counts a file whose type check has been made already and gave
    // `fileKind`, as fiCalcFile counts it after its own type check: with the
    // same guards and dialogs. A run that chooses a counter by asking the
    // type checks need not check the type twice.
    int countOfKind(const FileLocation& file, int fileKind, Record& result) {
        return runGuarded(*display_, Language::kFailureSites.calcFile, [&] {
            const int status = runGuarded(*display_, Language::kFailureSites.excCalc, [&] {
                resetRecord();
                return countIntoRecord(file, fileKind);
            });
            if (status == kCounted) result = record_;
            return status;
        });
    }

    // Hands every line of a file, first to last, to `sink` with its verdict
    // under the language's rules: sink(std::string_view window, LineVerdict).
    // `fileKind` is what the type check gave. When `whole` is given, each
    // line's whole bytes go to it before the line's verdict goes to `sink`.
    // Does not check the type and does not guard: a file that cannot be read
    // throws Exception. Returns kLineReaderUnavailable when no line reader
    // can be created, otherwise kCounted, with the file's size and last write
    // in `facts` when given.
    template <class Sink>
    static int classifyFile(const FileLocation& file, int fileKind, Sink&& sink,
                            FileFacts* facts = nullptr, LineBytesSink* whole = nullptr) {
        LineReader* const reader = LineReader::forThisThread();
        if (reader == nullptr) return kLineReaderUnavailable;
        struct Closer {
            LineReader& reader;
            ~Closer() { reader.close(); }
        } closer{*reader};
        reader->open(file);
        if (facts != nullptr) *facts = reader->facts();
        Rules rules = makeRules();
        rules.start(fileKind);
        std::string_view window;
        if (whole == nullptr) {
            while (reader->next(window)) sink(window, rules.classify(window));
        } else {
            while (reader->next(window, *whole)) sink(window, rules.classify(window));
        }
        return kCounted;
    }

    // Reads a file of the kind `fileKind` as a count reads it, handing each
    // line's whole bytes to `whole` and then its verdict to `sink`
    // (sink(LineVerdict)). A failure is shown as the count's error dialog
    // and gives kFailureShown.
    template <class Sink>
    int readLines(const FileLocation& file, int fileKind, LineBytesSink& whole, Sink&& sink) {
        return runGuarded(*display_, Language::kFailureSites.excCalc, [&] {
            return classifyFile(
                file, fileKind, [&sink](std::string_view, LineVerdict verdict) { sink(verdict); },
                nullptr, &whole);
        });
    }

    // The lines of a file of the kind `fileKind`, one at a time, read with
    // the thread's reader `readerSlot`; failures are shown as the count's
    // error dialog (see ClassifiedLines).
    std::unique_ptr<ClassifiedLines> openLines(const FileLocation& file, int fileKind,
                                               unsigned readerSlot) {
        auto lines = std::make_unique<Lines>(*display_, LineReader::forThisThread(readerSlot));
        lines->open(file, fileKind);
        return lines;
    }

    // The type check: 0 when `path` names a file of the language, -1 when
    // not, -10 after a caught failure. Records nothing.
    int fiChkType(const std::string& path) {
        int kind;
        return checkType(path, kind);
    }

    // The counter's own record: the last count's result, or the partial
    // counts of a failed one.
    const Record& record() const { return record_; }

    // Size and last write of the file last counted.
    const FileFacts& fileFacts() const { return facts_; }

    // The type check with the file's kind: kCounted with the kind when `path`
    // names a file of the language, kNotOfLanguage when not, kFailureShown
    // after a caught failure (shown as the type check's error dialog).
    int checkType(const std::string& path, int& kind) {
        return runGuarded(*display_, Language::kFailureSites.typeCheck, [&] {
            kind = 0;
            std::string extension;
            if (!pathExtension(path, extension)) return kNotOfLanguage;
            const int found = fileKindOf(extension);
            if (found < 0) return kNotOfLanguage;
            kind = found;
            return kCounted;
        });
    }

private:
    class Lines final : public ClassifiedLines {
    public:
        Lines(MessageDisplay& display, LineReader* reader) : display_(display), reader_(reader) {}
        ~Lines() override {
            if (reader_ != nullptr) reader_->close();
        }

        void open(const FileLocation& file, int fileKind) {
            guard([&] {
                if (reader_ == nullptr) return false;
                reader_->open(file);
                rules_.start(fileKind);
                return true;
            });
        }

        bool next(LineVerdict& verdict, LineBytesSink& whole) override {
            return guard([&] {
                std::string_view window;
                if (!reader_->next(window, whole)) return false;
                verdict = rules_.classify(window);
                return true;
            });
        }

        bool failed() const override { return failed_; }

    private:
        // Runs `step` unless the file failed already; a failure is shown as
        // the count's error dialog.
        template <class Step>
        bool guard(Step&& step) {
            if (failed_) return false;
            const int status = runGuarded(display_, Language::kFailureSites.excCalc,
                                          [&] { return step() ? kCounted : kNotOfLanguage; });
            if (status == kFailureShown || reader_ == nullptr) failed_ = true;
            return status == kCounted;
        }

        MessageDisplay& display_;
        LineReader* reader_;
        Rules rules_ = makeRules();
        bool failed_ = false;
    };

    void resetRecord() {
        record_ = Record{};
        facts_ = FileFacts{};
    }

    // Reads and classifies a file of the given kind into the record.
    int countIntoRecord(const FileLocation& file, int kind) {
        if constexpr (requires { record_.iFileType; }) record_.iFileType = kind;
        LineTally<Record> tally;
        const int status = classifyFile(
            file, kind, [&tally](std::string_view, LineVerdict verdict) { tally.add(verdict); }, &facts_);
        if (status != kCounted) return status;
        tally.copyTo(record_);
        finishTotals(record_);
        return kCounted;
    }

    static Rules makeRules() {
        if constexpr (requires { Language::makeRules(); }) {
            return Language::makeRules();
        } else {
            return Rules();
        }
    }

    static int fileKindOf(std::string_view extension) {
        if constexpr (requires { Language::fileKind(extension); }) {
            return Language::fileKind(extension);
        } else {
            for (const AcceptedExtension& accepted : Language::kExtensions) {
                if (accepted.extension == extension) return accepted.fileKind;
            }
            return -1;
        }
    }

    MessageDisplay* display_;
    Record record_{};
    FileFacts facts_{};
};

}  // namespace stepcount
