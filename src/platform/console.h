// What the command line needs of the console it runs in: its arguments as
// UTF-8, writing UTF-8 text so that Japanese reads right, the width of a
// terminal, and Ctrl-C (and the like) turned into a stop request.
//
// On Windows the arguments are read in UTF-16 (any name, whatever the code
// page), a console is written in UTF-16, and Ctrl-C and Ctrl-Break come
// through the console's control handler.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace stepcount::console {

// The program's arguments after its name, as UTF-8 (on POSIX the bytes as
// they come).
std::vector<std::string> arguments(int argc, char** argv);

// Writes UTF-8 text to `stream` and flushes it.
void write(std::FILE* stream, std::string_view text);

// Whether `stream` is a terminal, and how many columns it has (80 when it
// does not tell).
bool isTerminal(std::FILE* stream);
std::size_t columns(std::FILE* stream);

// From now on an interrupt (Ctrl-C, SIGTERM; on Windows Ctrl-C and
// Ctrl-Break) asks the run to stop (requestStop); a second one ends the
// program at once.
void stopOnInterrupt();

#if defined(_WIN32)
// The console control handler that stopOnInterrupt installs: Ctrl-C
// (SIGINT) and Ctrl-Break (SIGBREAK) ask for a stop and are taken (true);
// one that comes while a stop is already asked for, and every other event,
// is left to the system's default handler (false), which ends the program.
bool handleConsoleEvent(unsigned long event);
#endif

// The interrupt that asked for the last stop, 0 when none did, and its name
// ("SIGINT"; on Windows "Ctrl-C").
int interruptNumber();
std::string interruptName(int number);

}  // namespace stepcount::console
