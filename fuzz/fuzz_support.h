// Helpers of the fuzz targets: a scratch folder for the files they count, the
// tests' plain split of bytes into line windows, a message display that treats any
// dialog as a finding, and a check that stops the run with a report.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_display.h"
#include "support/reference_lines.h"

namespace stepcount::fuzz {

// Reports a broken invariant and aborts, so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "INVARIANT BROKEN: %s %s\n", what, detail.c_str());
    std::abort();
}

inline void check(bool holds, const char* what, const std::string& detail = {}) {
    if (!holds) fail(what, detail);
}

// A folder of this process for scratch files (in memory when /dev/shm is
// there); `name` inside it.
std::string scratchPath(std::string_view name);

// Replaces the file at `path` with `bytes`.
void writeFile(const std::string& path, std::string_view bytes);

using testing::referenceWindows;

// Any dialog is a finding: the files the targets count can always be read.
class FailingDisplay : public MessageDisplay {
public:
    void showMessage(std::string_view text) override { fail("unexpected dialog:", std::string(text)); }
    void showMessageBox(std::string_view text, std::string_view, MessageKind) override {
        fail("unexpected message box:", std::string(text));
    }
};

}  // namespace stepcount::fuzz
