// Fuzz target of the type checks. The input's first byte chooses the
// languages of a multi-language run, the rest is a path. Every counter's
// check must accept the path exactly when the text after its last "." is,
// ASCII letters lower-cased, one of the counter's extensions; no check may
// show a dialog; at most one language accepts any path; and the
// multi-language dispatch must name the language that accepted it. The path
// is also written as a result-file field, which must read back as the same
// bytes.
#include <cstdint>
#include <string>
#include <string_view>

#include "counters/counters.h"
#include "fuzz_support.h"
#include "report/result_format.h"
#include "runs/count_runs.h"
#include "runs/count_settings.h"

namespace stepcount::fuzz {
namespace {

bool extensionIsOneOf(std::string_view path, std::initializer_list<std::string_view> extensions) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string extension(path.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    for (const std::string_view accepted : extensions) {
        if (extension == accepted) return true;
    }
    return false;
}

// Reads back one CSV field written at the start of `row`; false when it is
// not a well-formed field followed by the end of the row.
bool readField(std::string_view row, std::string& field) {
    field.clear();
    if (row.empty() || row[0] != '"') {
        if (row.find_first_of(",\"\r\n") != std::string_view::npos) return false;
        field.assign(row);
        return true;
    }
    for (std::size_t i = 1; i < row.size(); ++i) {
        if (row[i] != '"') {
            field += row[i];
            continue;
        }
        if (i + 1 == row.size()) return true;
        if (row[i + 1] != '"') return false;
        field += '"';
        ++i;
    }
    return false;
}

void checkPath(int languageBits, const std::string& path) {
    static FailingDisplay display;
    static mVBCalc_c vb(display);
    static mVCCalc_c c(display);
    static mSQLCalc_c sql(display);
    static mHTMLCalc_c html(display);
    static mCOBOLCalc_c cobol(display);

    VBCountResult scratch{};
    scratch.iFileType = 7;
    const int vbStatus = vb.fiGetType(path, scratch);
    const bool isVB = vbStatus == kCounted;
    const bool isForm = extensionIsOneOf(path, {"frm", "dsr"});
    check(isVB == extensionIsOneOf(path, {"cls", "bas", "frm", "dsr"}), "VB check wrong:", path);
    check(isVB || vbStatus == kNotOfLanguage, "VB check status");
    check(scratch.iFileType == (!isVB ? kVBNoFile : isForm ? kVBForm : kVBModule), "VB file kind wrong:", path);

    const int cStatus = c.fiChkType(path);
    const int sqlStatus = sql.fiChkType(path);
    const int htmlStatus = html.fiChkType(path);
    const int cobolStatus = cobol.fiChkType(path);
    for (const int status : {cStatus, sqlStatus, htmlStatus, cobolStatus}) {
        check(status == kCounted || status == kNotOfLanguage, "type check status");
    }
    const bool isC = cStatus == kCounted;
    const bool isSQL = sqlStatus == kCounted;
    const bool isHTML = htmlStatus == kCounted;
    const bool isCOBOL = cobolStatus == kCounted;
    check(isC == extensionIsOneOf(path, {"java", "h", "c", "cpp", "pc"}), "C check wrong:", path);
    check(isSQL == extensionIsOneOf(path, {"sql"}), "SQL check wrong:", path);
    check(isHTML == extensionIsOneOf(path, {"htm", "html", "asp", "js", "jsp"}), "HTML check wrong:", path);
    check(isCOBOL == extensionIsOneOf(path, {"cob"}), "COBOL check wrong:", path);
    check(isVB + isC + isSQL + isHTML + isCOBOL <= 1, "two languages accept one path:", path);

    int expected = kLanguageNone;
    if ((languageBits & kMultiVBBit) && isVB) expected = kLanguageVB;
    if ((languageBits & kMultiVCBit) && isC) expected = kLanguageVC;
    if ((languageBits & kMultiSQLBit) && isSQL) expected = kLanguageSQL;
    if ((languageBits & kMultiHTMLBit) && isHTML) expected = kLanguageHTML;
    check(ChkMultiLangType(path, kMultiLanguage + languageBits, display) == expected,
          "multi-language dispatch wrong:", path);

    std::string row;
    appendField(row, path);
    std::string field;
    check(readField(row, field) && field == path, "field does not read back:", row);
}

}  // namespace
}  // namespace stepcount::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int languageBits = 1 + data[0] % 15;
    stepcount::fuzz::checkPath(languageBits, std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    return 0;
}
