// The exception class of the tool's own failures (a file that cannot be
// opened or read, and the like). Its message says what went wrong in plain
// words and names the file concerned.
#pragma once

#include <stdexcept>
#include <string>

namespace stepcount {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// The system's text for an error number, e.g. "No such file or directory".
// The numbers are errno's; on Windows, a system error that has no errno
// value gets a number of its own, whose text is the system's message.
// Safe on any thread (the counting threads build messages at the same time).
std::string systemErrorText(int errnoValue);

// Builds an Exception whose message is `what`, the quoted path and the
// system's reason for `errnoValue`, e.g.
//   Cannot open file "/src/a.c": No such file or directory
Exception systemFailure(const std::string& what, const std::string& path, int errnoValue);

}  // namespace stepcount
