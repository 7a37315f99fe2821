#include "counters/languages.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "counters/counters.h"
#include "platform/ascii.h"
#include "platform/texts.h"

namespace stepcount {

namespace {

const std::array<Language, 5> kLanguages = {{
    {LanguageId::VB, "vb", "VB", texts::kVBLanguage, "VB, VBA", VBLanguage::kExtensions,
     CountColumns::VB, 1, &makeCounterOf<mVBCalc_c>, StepText::WholeLine},
    {LanguageId::VC, "c", "C", texts::kVCLanguage, "C, C++, Pro*C, Java",
     CFamilyLanguage::kExtensions, CountColumns::Standard, 2, &makeCounterOf<mVCCalc_c>,
     StepText::WholeLine},
    {LanguageId::SQL, "sql", "SQL", texts::kSQLLanguage, "SQL", SQLLanguage::kExtensions,
     CountColumns::Standard, 4, &makeCounterOf<mSQLCalc_c>, StepText::WholeLine},
    {LanguageId::HTML, "html", "HTML", texts::kHTMLLanguage, "HTML, ASP, JSP, JavaScript",
     HTMLLanguage::kExtensions, CountColumns::Standard, 8, &makeCounterOf<mHTMLCalc_c>,
     StepText::WholeLine},
    {LanguageId::COBOL, "cobol", "COBOL", texts::kCOBOLLanguage, "COBOL (fixed format)",
     COBOLLanguage::kExtensions, CountColumns::COBOL, 0, &makeCounterOf<mCOBOLCalc_c>,
     StepText::ProgramColumns},
}};

}  // namespace

std::span<const Language> languages() { return kLanguages; }

const Language& languageOf(LanguageId id) {
    for (const Language& language : kLanguages) {
        if (language.id == id) return language;
    }
    throw std::invalid_argument("no such language: " + std::to_string(static_cast<int>(id)));
}

const Language* findLanguage(std::string_view word) {
    const std::string lowered = ascii::lowerCase(word);
    for (const Language& language : kLanguages) {
        if (language.word == lowered) return &language;
    }
    return nullptr;
}

LanguageSet LanguageSet::alone(LanguageId id) {
    LanguageSet set;
    set.members_.push_back(languageOf(id).id);
    return set;
}

LanguageSet LanguageSet::several(std::span<const LanguageId> ids) {
    LanguageSet set;
    set.several_ = true;
    for (const Language& language : kLanguages) {
        if (std::find(ids.begin(), ids.end(), language.id) == ids.end()) continue;
        if (language.severalBit == 0) {
            throw std::invalid_argument(std::string(language.word) + " is counted alone only");
        }
        set.members_.push_back(language.id);
    }
    if (set.members_.empty()) throw std::invalid_argument("no language to count");
    return set;
}

std::optional<LanguageSet> LanguageSet::fromLanguageCode(int languageCode) {
    if (languageCode > kMultiLanguage) {
        std::vector<LanguageId> ids;
        int bits = languageCode - kMultiLanguage;
        for (const Language& language : kLanguages) {
            if (language.severalBit == 0 || (bits & language.severalBit) == 0) continue;
            ids.push_back(language.id);
            bits &= ~language.severalBit;
        }
        if (bits != 0 || ids.empty()) return std::nullopt;
        return several(ids);
    }
    for (const Language& language : kLanguages) {
        if (static_cast<int>(language.id) == languageCode) return alone(language.id);
    }
    return std::nullopt;
}

int LanguageSet::languageCode() const {
    if (!several_) return static_cast<int>(single());
    int code = kMultiLanguage;
    for (const LanguageId id : members_) code += languageOf(id).severalBit;
    return code;
}

bool LanguageSet::contains(LanguageId id) const {
    return std::find(members_.begin(), members_.end(), id) != members_.end();
}

}  // namespace stepcount
