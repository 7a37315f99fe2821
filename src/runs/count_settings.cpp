#include "runs/count_settings.h"

#include <stdexcept>

namespace stepcount {

const LanguageChoice& choiceOf(LanguageId language) {
    for (const LanguageChoice& choice : kLanguageChoices) {
        if (choice.language == language) return choice;
    }
    throw std::invalid_argument("no choice for language " +
                                std::to_string(static_cast<int>(language)));
}

}  // namespace stepcount
