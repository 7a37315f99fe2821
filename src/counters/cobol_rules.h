// Line rules of fixed-format COBOL.
//
// Columns are byte positions counted from 1; only columns 7 to 72 are
// examined. A line of 6 bytes or fewer is blank. Column 7 holds the
// indicator: "*" or "/" a comment line, "D" a debugging line, "-" a
// continuation line. A division header ("IDENTIFICATION DIVISION.",
// "ENVIRONMENT DIVISION.", "DATA DIVISION.", "PROCEDURE DIVISION.", exact
// bytes from column 8) is a line of code that makes its division current and
// passes the divisions before it; each is recognised once, and never after
// its division has been passed. Otherwise a visible ASCII byte in columns 7
// to 72 makes a line of code, and a line without one is blank.
//
// Comment, debugging, code and blank lines of 7 bytes or more belong to the
// current division, if any; continuation lines and short lines to none.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "counters/line_class.h"

namespace stepcount {

class COBOLLineRules {
public:
    // Starts a file: no division seen.
    void start(int fileKind = 0);
    LineVerdict classify(std::string_view line);

private:
    enum class DivisionState : std::uint8_t { NotSeen, Current, Passed };

    Division currentDivision() const;

    // Identification, environment, data, procedure.
    std::array<DivisionState, 4> states_{};
};

}  // namespace stepcount
