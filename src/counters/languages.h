// The languages the tool counts, in one table: for each its number, its name
// on the command line, its choice in the window, the extensions of its files
// with the kind of file each gives, the columns of its counted rows, and
// whether it may be counted together with others. The command line, the
// window, the runs and the fuzz targets all read this table; a new language
// is its line rules, its counter class and one row here.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "counters/counting_frame.h"
#include "counters/language_counter.h"

namespace stepcount {

// A language, by the number that names it alone in a LanguageCode.
enum class LanguageId : std::uint8_t { None = 0, VB = 1, VC = 2, SQL = 3, HTML = 4, COBOL = 5 };

// The columns that follow the common ones in a counted row of a language
// counted alone.
enum class CountColumns : std::uint8_t {
    Standard,   // none
    VB,         // the property-definition steps
    COBOL,      // the debugging lines and the lines of each division
};

// The text of a line that tells whether two versions of a step are the same.
enum class StepText : std::uint8_t {
    WholeLine,        // the whole line, less the blanks at its ends
    ProgramColumns,   // columns 7 to 72 (fixed-format COBOL), less the blanks at the end
};

struct Language {
    LanguageId id;
    std::string_view word;          // its name on the command line, lower case
    std::string_view label;         // its name in the language column of a comparison
    std::string_view caption;       // its choice in the window
    std::string_view description;   // what it covers, for help and summaries
    std::span<const AcceptedExtension> extensions;
    CountColumns columns;
    int severalBit;                 // its bit in a several-language LanguageCode; 0:
                                    // it is counted alone only
    std::unique_ptr<LanguageCounter> (*makeCounter)(MessageDisplay& display);
    StepText stepText;
};

// Every language, in the order of their numbers.
std::span<const Language> languages();

// The row of a language of the table.
const Language& languageOf(LanguageId id);

// The language named `word` on the command line (ASCII case ignored), or
// nullptr.
const Language* findLanguage(std::string_view word);

// LanguageCode, the number that names what a run counts: the language's
// number for one language alone, 16 plus the bits of the languages for
// several at once.
inline constexpr int kLanguageNone = 0;
inline constexpr int kMultiLanguage = 16;

// What a run counts: one language alone, or several at once.
class LanguageSet {
public:
    static LanguageSet alone(LanguageId id);
    // Languages that may be counted together (severalBit set), at least one.
    static LanguageSet several(std::span<const LanguageId> ids);

    // The set a LanguageCode names; nothing for a code that names no run.
    static std::optional<LanguageSet> fromLanguageCode(int languageCode);
    int languageCode() const;

    bool isSeveral() const { return several_; }
    // The language of a set of one language alone.
    LanguageId single() const { return members_.front(); }
    // The languages, in the table's order.
    const std::vector<LanguageId>& members() const { return members_; }
    bool contains(LanguageId id) const;

private:
    bool several_ = false;
    std::vector<LanguageId> members_;
};

}  // namespace stepcount
