// The totals of a run per language, as a table for a terminal: for each
// language of the run the files counted, lines read, comment lines, blank
// lines, real steps, total steps and comment ratio, then the grand total.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "walk/walk_observer.h"

namespace stepcount {

class SummaryTable : public WalkObserver {
public:
    void onRunStart(const RunStart& start) override;
    void onFile(const WalkedFile& file) override;

    // The table, every line ending in "\n", columns aligned.
    std::string text() const;

private:
    struct Totals {
        std::uint64_t files = 0;
        std::uint64_t lines = 0;
        std::uint64_t comment = 0;
        std::uint64_t blank = 0;
        std::uint64_t code = 0;
        std::uint64_t total = 0;
        void add(const Totals& other);
    };
    struct LanguageTotals {
        LanguageId language;
        Totals totals;
    };

    std::vector<LanguageTotals> rows_;
};

}  // namespace stepcount
