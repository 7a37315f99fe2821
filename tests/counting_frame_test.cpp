// What all five counters share: the type checks, the status codes, when the
// caller's record is copied, the error dialogs, and the totals and ratio.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "counters/counters.h"
#include "counters/languages.h"
#include "platform/exception.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using testing::RecordingDisplay;
using testing::TempDir;
using Texts = std::vector<std::string>;

std::string dialog(const std::string& message, const std::string& label, int line) {
    return message + " \n関数名称：" + label + "　行番号:" + std::to_string(line);
}

// A record filled with a byte pattern that no count produces, to tell whether
// a count copied anything into it.
template <class Record>
Record sentinel() {
    Record record;
    std::memset(&record, 0xA5, sizeof record);
    return record;
}
template <class Record>
bool isSentinel(const Record& record) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    return std::all_of(bytes, bytes + sizeof record, [](unsigned char b) { return b == 0xA5; });
}

// Counts `path` with a fresh counter into a sentinel record; checks the status,
// that the record is left untouched unless counted, and the dialogs shown.
template <class Counter, class Record>
Record expectCount(const std::string& path, int status, const Texts& dialogs = {}) {
    RecordingDisplay display;
    Record result = sentinel<Record>();
    EXPECT_EQ(Counter(display).fiCalcFile(path, result), status) << path;
    EXPECT_EQ(isSentinel(result), status != kCounted) << path;
    EXPECT_EQ(display.messages, dialogs) << path;
    return result;
}

// A language for exercising the frame itself: it takes files ending in ".t";
// the extension "boom" makes its type check fail, a line "boom" its line
// rules, and a line "oom" runs out of memory.
struct FailingLanguage {
    using Record = CountResult;
    struct Rules {
        void start(int) {}
        LineVerdict classify(std::string_view line) {
            if (line == "boom") throw Exception("line rules failed");
            if (line == "oom") throw std::bad_alloc();
            return {line.empty() ? LineClass::Blank : LineClass::Code};
        }
    };
    static int fileKind(std::string_view extension) {
        if (extension == "boom") throw Exception("type check failed");
        return extension == "t" ? 0 : -1;
    }
    static constexpr texts::CounterFailureSites kFailureSites{
        {"Failing::fiCalcFile", 1}, {"Failing::fiExcCalc", 2}, {"Failing::fiChkType", 3}};
};
using FailingCounter = CountingFrame<FailingLanguage>;

TEST(CounterFailures, AFailingTypeCheckShowsOnlyItsOwnDialogAndRefusesThePath) {
    const Texts typeCheckDialog{dialog("type check failed", "Failing::fiChkType", 3)};
    expectCount<FailingCounter, CountResult>("x.boom", kNotOfLanguage, typeCheckDialog);
    RecordingDisplay display;
    EXPECT_EQ(FailingCounter(display).fiChkType("x.boom"), kFailureShown);
    EXPECT_EQ(display.messages, typeCheckDialog);
}

TEST(CounterFailures, AFailureWhileCountingShowsTheCountDialogAndCopiesNothing) {
    TempDir dir;
    expectCount<FailingCounter, CountResult>(dir.write("a.t", "x\n\nx\nboom\nx\n"), kFailureShown,
                                             {dialog("line rules failed", "Failing::fiExcCalc", 2)});
    expectCount<FailingCounter, CountResult>(dir.write("b.t", "x\noom\n"), kFailureShown,
                                             {dialog("Out of memory", "Failing::fiExcCalc", 2)});
    // The same counter counts the next file from zero.
    RecordingDisplay display;
    FailingCounter counter(display);
    EXPECT_EQ(counter.fiExcCalc(dir.at("a.t")), kFailureShown);
    CountResult result{};
    EXPECT_EQ(counter.fiCalcFile(dir.write("c.t", "x\n\n"), result), kCounted);
    EXPECT_EQ(testing::countsOf(result), (testing::Counts{2, 0, 1, 1, 2, 50.0}));
}

// Every counter of the language table names its own count in its dialog; a
// path its type check refuses is not even opened.
TEST(CounterFailures, AMissingFileShowsEachCountersCountDialog) {
    TempDir dir;
    const struct {
        LanguageId language;
        const char* name;
        const char* label;   // nullptr: a path the type check refuses, not even opened
        int line;
    } cases[] = {
        {LanguageId::VC, "a.c", "mVCCalc_c::fiExcCalc", 159},
        {LanguageId::SQL, "a.sql", "mSQLCalc_c::fiExcCalc", 159},
        {LanguageId::VB, "a.frm", "mVBCalc_c::fiExcCalc", 139},
        {LanguageId::HTML, "a.htm", "mHTMLCalc_c::fiExcCalc", 209},
        {LanguageId::COBOL, "a.cob", "mCOBOLCalc_c::fiExcCalc", 242},
        {LanguageId::VB, "a.txt", nullptr, 0},
        {LanguageId::COBOL, "a.txt", nullptr, 0},
    };
    for (const auto& c : cases) {
        RecordingDisplay display;
        FileCount count;
        FileFacts facts;
        const std::string path = dir.at(c.name);
        const int status = languageOf(c.language).makeCounter(display)->count(path, count, facts);
        EXPECT_EQ(status, c.label ? kFailureShown : kNotOfLanguage) << c.name;
        EXPECT_FALSE(isCounted(count)) << c.name;
        const std::string message = "Cannot open file \"" + path + "\": No such file or directory";
        EXPECT_EQ(display.messages, c.label ? Texts{dialog(message, c.label, c.line)} : Texts{}) << c.name;
    }
}

TEST(TypeChecks, TheLastDotOfTheWholePathDecidesInAnyLetterCase) {
    RecordingDisplay display;
    mVCCalc_c c(display);
    mSQLCalc_c sql(display);
    mHTMLCalc_c html(display);
    mCOBOLCalc_c cobol(display);
    const struct {
        std::function<int(const std::string&)> check;
        Texts accepted, refused;
    } cases[] = {
        {[&](const std::string& p) { return c.fiChkType(p); },
         {"DEFS.H", "Main.Java", "x.Cpp", "x.PC", "src.old/a.c", "a.java"},
         {"x.hpp", "x.cc", "x.c~", "x.cxx", "x.jav", "Makefile", "src.old/README", "x.", "a.c/"}},
        {[&](const std::string& p) { return sql.fiChkType(p); },
         {"a.sql", "B.SQL", "c.Sql"},
         {"a.ddl", "a.pls", "a.sql~", "a.sql.bak", "sql", "db.sql/README"}},
        {[&](const std::string& p) { return html.fiChkType(p); },
         {"a.htm", "INDEX.HTML", "x.asp", "x.js", "x.Jsp"},
         {"a.shtml", "a.php", "a.css", "html", "x.", "www.html/index"}},
        {[&](const std::string& p) { return cobol.fiChkType(p); },
         {"PROG.COB", "a.cob"},
         {"prog.cbl", "PROG", "src.cob/PROG", "a.cob.bak"}},
    };
    for (const auto& language : cases) {
        for (const std::string& path : language.accepted) EXPECT_EQ(language.check(path), kCounted) << path;
        for (const std::string& path : language.refused) EXPECT_EQ(language.check(path), kNotOfLanguage) << path;
    }
    // The VB check also tells the kind of file.
    const std::pair<const char*, std::int32_t> vbCases[] = {
        {"M.BAS", kVBModule}, {"c.cls", kVBModule}, {"F.Frm", kVBForm}, {"v1.2/d.DSR", kVBForm},
        {"p.vbp", kVBNoFile}, {"t.txt", kVBNoFile}, {"bas", kVBNoFile}, {"x.", kVBNoFile},
        {"f.frm/README", kVBNoFile},
    };
    mVBCalc_c vb(display);
    for (const auto& [path, kind] : vbCases) {
        VBCountResult scratch{};
        scratch.iFileType = 7;
        EXPECT_EQ(vb.fiGetType(path, scratch), kind == kVBNoFile ? kNotOfLanguage : kCounted) << path;
        EXPECT_EQ(scratch.iFileType, kind) << path;
    }
    EXPECT_TRUE(display.messages.empty());
}

}  // namespace
}  // namespace stepcount
