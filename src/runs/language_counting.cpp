#include "runs/language_counting.h"

#include <stdexcept>

namespace stepcount {

std::unique_ptr<CounterSet> LanguageCounting::newCounterSet(MessageDisplay& display) {
    return std::make_unique<LanguageCounters>(languages_, display);
}

LanguageCounters::LanguageCounters(const LanguageSet& languages, MessageDisplay& display)
    : several_(languages.isSeveral()) {
    for (const LanguageId id : languages.members()) {
        members_.push_back({id, languageOf(id).makeCounter(display)});
    }
}

LanguageId LanguageCounters::ChkMultiLangType(const std::string& path, int& fileKind) {
    LanguageId found = LanguageId::None;
    for (const Member& member : members_) {
        int kind = 0;
        if (member.counter->checkType(path, kind) == kCounted) {
            found = member.id;
            fileKind = kind;
        }
    }
    return found;
}

LanguageCounter& LanguageCounters::counterOf(LanguageId language) {
    for (const Member& member : members_) {
        if (member.id == language) return *member.counter;
    }
    throw std::invalid_argument("not a chosen language");
}

CountedFile LanguageCounters::count(const FileLocation& file) {
    CountedFile counted;
    if (!several_) {
        // One language alone: its counter takes every file, and the status
        // tells whether the file was of the language.
        const Member& member = members_.front();
        const int status = member.counter->count(file, counted.count, counted.facts);
        if (status != kNotOfLanguage) counted.language = member.id;
        return counted;
    }
    int kind = 0;
    const LanguageId language = ChkMultiLangType(file.path, kind);
    if (language == LanguageId::None) return counted;
    counted.language = language;
    counterOf(language).countOfKind(file, kind, counted.count, counted.facts);
    return counted;
}

}  // namespace stepcount
