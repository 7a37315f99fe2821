// The five line counters, one per language family. Each recognises its files
// by extension and counts one file at a time into its record through the
// shared counting frame:
//
//   mVCCalc_c     C, C++, Pro*C, Java   java h c cpp pc     CountResult
//   mSQLCalc_c    SQL                   sql                 CountResult
//   mVBCalc_c     VB, VBA               cls bas frm dsr     VBCountResult
//   mHTMLCalc_c   HTML, ASP, JSP, JS    htm html asp js jsp CountResult
//   mCOBOLCalc_c  fixed-format COBOL    cob                 COBOLCountResult
//
// Extensions are compared after lower-casing. A counter may count any number
// of files one after another; nothing carries over from one to the next.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "counters/c_family_rules.h"
#include "counters/cobol_rules.h"
#include "counters/counting_frame.h"
#include "counters/html_rules.h"
#include "counters/vb_rules.h"

namespace stepcount {

struct CFamilyLanguage {
    using Record = CountResult;
    using Rules = CFamilyLineRules;
    static constexpr std::array<AcceptedExtension, 5> kExtensions{
        {{"java", 0}, {"h", 0}, {"c", 0}, {"cpp", 0}, {"pc", 0}}};
    static constexpr const texts::CounterFailureSites& kFailureSites = texts::kVCFailureSites;
    static Rules makeRules() { return Rules(Rules::kCLineComment); }
};

struct SQLLanguage {
    using Record = CountResult;
    using Rules = CFamilyLineRules;
    static constexpr std::array<AcceptedExtension, 1> kExtensions{{{"sql", 0}}};
    static constexpr const texts::CounterFailureSites& kFailureSites = texts::kSQLFailureSites;
    static Rules makeRules() { return Rules(Rules::kSQLLineComment); }
};

struct VBLanguage {
    using Record = VBCountResult;
    using Rules = VBLineRules;
    static constexpr std::array<AcceptedExtension, 4> kExtensions{
        {{"cls", kVBModule}, {"bas", kVBModule}, {"frm", kVBForm}, {"dsr", kVBForm}}};
    static constexpr const texts::CounterFailureSites& kFailureSites = texts::kVBFailureSites;
};

struct HTMLLanguage {
    using Record = CountResult;
    using Rules = HTMLLineRules;
    static constexpr std::array<AcceptedExtension, 5> kExtensions{
        {{"htm", 0}, {"html", 0}, {"asp", 0}, {"js", 0}, {"jsp", 0}}};
    static constexpr const texts::CounterFailureSites& kFailureSites = texts::kHTMLFailureSites;
};

struct COBOLLanguage {
    using Record = COBOLCountResult;
    using Rules = COBOLLineRules;
    static constexpr std::array<AcceptedExtension, 1> kExtensions{{{"cob", 0}}};
    static constexpr const texts::CounterFailureSites& kFailureSites = texts::kCOBOLFailureSites;
};

// C, C++, Pro*C and Java.
class mVCCalc_c : public CountingFrame<CFamilyLanguage> {
public:
    using CountingFrame::CountingFrame;
};

class mSQLCalc_c : public CountingFrame<SQLLanguage> {
public:
    using CountingFrame::CountingFrame;
};

// VB and VBA. Its type check also tells the file kind.
class mVBCalc_c : public CountingFrame<VBLanguage> {
public:
    using CountingFrame::CountingFrame;
    // As fiChkType; sets result.iFileType to the kind (kVBModule, kVBForm),
    // or to kVBNoFile when the path is refused or the check fails.
    int fiGetType(const std::string& path, VBCountResult& result) {
        result.iFileType = kVBNoFile;
        int kind;
        const int status = checkType(path, kind);
        if (status == kCounted) result.iFileType = kind;
        return status;
    }

private:
    using CountingFrame::fiChkType;  // the VB type check is fiGetType
};

class mHTMLCalc_c : public CountingFrame<HTMLLanguage> {
public:
    using CountingFrame::CountingFrame;
};

class mCOBOLCalc_c : public CountingFrame<COBOLLanguage> {
public:
    using CountingFrame::CountingFrame;
};

}  // namespace stepcount
