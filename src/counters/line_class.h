// What one line of a source file is, as a counter's line rules decide it.
#pragma once

#include <cstdint>

namespace stepcount {

enum class LineClass : std::uint8_t {
    Blank,
    Comment,
    Code,                 // a real step
    PropertyDefinition,   // VB: a line of a form's property-definition section
    Debug,                // COBOL: indicator "D"
    Continuation,         // COBOL: indicator "-"
};

// COBOL: the division a line is attributed to.
enum class Division : std::uint8_t { None, Identification, Environment, Data, Procedure };

struct LineVerdict {
    LineClass lineClass;
    Division division = Division::None;

    friend bool operator==(const LineVerdict&, const LineVerdict&) = default;
};

}  // namespace stepcount
