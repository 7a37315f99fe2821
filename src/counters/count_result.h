// The records that the counters fill, and their status codes.
#pragma once

#include <cstdint>
#include <variant>

namespace stepcount {

// Status of a counter operation: an int, as the counters' callers know it.
inline constexpr int kCounted = 0;                  // the file was counted
inline constexpr int kNotOfLanguage = -1;           // the type check refused the path
inline constexpr int kFailureShown = -10;           // a failure was caught and shown
inline constexpr int kLineReaderUnavailable = -100; // no memory for the line reader's buffers

// Record of the C-family, SQL and HTML counters.
struct CountResult {
    std::uint32_t ulReadLines;
    std::uint32_t ulCommentLines;
    std::uint32_t ulBlankLines;
    std::uint32_t ulRealSteps;
    std::uint32_t ulTotalSteps;    // ulRealSteps + ulCommentLines + ulBlankLines
    double dCommentRate;           // (ulCommentLines + ulBlankLines) / ulTotalSteps * 100
};

// VB file kinds, as iFileType holds them.
inline constexpr std::int32_t kVBNoFile = 0;
inline constexpr std::int32_t kVBModule = 1;   // cls, bas
inline constexpr std::int32_t kVBForm = 2;     // frm, dsr: with a property-definition section

// Record of the VB counter.
struct VBCountResult {
    std::int32_t iFileType;
    std::uint32_t ulReadLines;
    std::uint32_t ulCommentLines;
    std::uint32_t ulBlankLines;
    std::uint32_t ulRealSteps;
    std::uint32_t ulTotalSteps;
    std::uint32_t ulPropertySteps;  // lines of a form's property-definition section
    double dCommentRate;
};

// Record of the COBOL counter.
struct COBOLCountResult {
    std::uint32_t ulReadLines;
    std::uint32_t ulCommentLines;   // indicator "*" or "/"
    std::uint32_t ulDebugLines;     // indicator "D"
    std::uint32_t ulBlankLines;
    std::uint32_t ulRealSteps;      // division headers included
    std::uint32_t ulTotalSteps;     // debugging and continuation lines left out
    double dCommentRate;
    std::uint32_t ulIdentDivLines;
    std::uint32_t ulEnvDivLines;
    std::uint32_t ulDataDivLines;
    std::uint32_t ulProcDivLines;
};

// The counts of one file: nothing when it was not counted.
using FileCount = std::variant<std::monostate, CountResult, VBCountResult, COBOLCountResult>;

inline bool isCounted(const FileCount& count) {
    return !std::holds_alternative<std::monostate>(count);
}

}  // namespace stepcount
