#include "counters/cobol_rules.h"

#include <algorithm>

#include "platform/ascii.h"

namespace stepcount {

namespace {

constexpr std::size_t kIndicatorColumn = 7;
constexpr std::size_t kLastColumn = 72;

constexpr std::array<std::string_view, 4> kHeaders = {
    "IDENTIFICATION DIVISION.", "ENVIRONMENT DIVISION.", "DATA DIVISION.",
    "PROCEDURE DIVISION."};
constexpr std::array<Division, 4> kDivisions = {Division::Identification, Division::Environment,
                                                Division::Data, Division::Procedure};

}  // namespace

void COBOLLineRules::start(int /*fileKind*/) { states_.fill(DivisionState::NotSeen); }

Division COBOLLineRules::currentDivision() const {
    for (std::size_t i = 0; i < states_.size(); ++i) {
        if (states_[i] == DivisionState::Current) return kDivisions[i];
    }
    return Division::None;
}

LineVerdict COBOLLineRules::classify(std::string_view line) {
    if (line.size() < kIndicatorColumn) return {LineClass::Blank};

    switch (line[kIndicatorColumn - 1]) {
        case '*':
        case '/':
            return {LineClass::Comment, currentDivision()};
        case 'D':
            return {LineClass::Debug, currentDivision()};
        case '-':
            return {LineClass::Continuation};
        default:
            break;
    }

    const std::string_view fromColumn8 = line.substr(kIndicatorColumn);
    for (std::size_t i = 0; i < kHeaders.size(); ++i) {
        if (states_[i] != DivisionState::NotSeen || !fromColumn8.starts_with(kHeaders[i])) continue;
        std::fill(states_.begin(), states_.begin() + static_cast<std::ptrdiff_t>(i),
                  DivisionState::Passed);
        states_[i] = DivisionState::Current;
        return {LineClass::Code, kDivisions[i]};
    }

    const std::string_view area =
        line.substr(kIndicatorColumn - 1, kLastColumn - (kIndicatorColumn - 1));
    const bool hasText = std::any_of(area.begin(), area.end(), [](char c) {
        return ascii::isVisible(static_cast<unsigned char>(c));
    });
    return {hasText ? LineClass::Code : LineClass::Blank, currentDivision()};
}

}  // namespace stepcount
