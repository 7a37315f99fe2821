// The counters of a run: for one language alone, its counter takes every
// file and its status decides; for several, the type checks of the chosen
// languages are asked which counter a file belongs to, then that counter
// counts it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "counters/languages.h"
#include "walk/file_counting.h"

namespace stepcount {

class LanguageCounting : public FileCounting {
public:
    explicit LanguageCounting(LanguageSet languages) : languages_(std::move(languages)) {}
    std::unique_ptr<CounterSet> newCounterSet(MessageDisplay& display) override;

private:
    LanguageSet languages_;
};

// The counters of the chosen languages, one of each, for one thread.
class LanguageCounters : public CounterSet {
public:
    LanguageCounters(const LanguageSet& languages, MessageDisplay& display);

    CountedFile count(const FileLocation& file) override;

    // The language of a file among the chosen ones: every chosen language is
    // asked, in the table's order, and a later acceptance overrides an
    // earlier one; None when none accepts it. `fileKind` gets the kind that
    // the accepting type check gave.
    LanguageId ChkMultiLangType(const std::string& path, int& fileKind);

    // The counter of a chosen language.
    LanguageCounter& counterOf(LanguageId language);

private:
    struct Member {
        LanguageId id;
        std::unique_ptr<LanguageCounter> counter;
    };
    bool several_;
    std::vector<Member> members_;
};

}  // namespace stepcount
