#include "cli/terminal_front_end.h"

#include <cstdio>
#include <string>

#include "platform/console.h"

namespace stepcount::cli {

namespace {

void printLine(std::FILE* stream, std::string_view text) {
    std::string line(text);
    line += '\n';
    console::write(stream, line);
}

}  // namespace

void TerminalFrontEnd::showMessage(std::string_view text) {
    progress_.clear();
    printLine(stderr, text);
}

void TerminalFrontEnd::showMessageBox(std::string_view text, std::string_view,
                                      MessageKind kind) {
    progress_.clear();
    printLine(kind == MessageKind::Failure ? stderr : stdout, text);
}

}  // namespace stepcount::cli
