#include "platform/console.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

#include "platform/stop_request.h"

namespace stepcount::console {

namespace {

volatile std::sig_atomic_t lastInterrupt = 0;

void onInterrupt(int number) {
    lastInterrupt = number;
    requestStop(number);
}

}  // namespace

std::vector<std::string> arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void write(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

bool isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

std::size_t columns(std::FILE* stream) {
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void stopOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;   // a second one ends the program
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

int interruptNumber() { return lastInterrupt; }

std::string interruptName(int number) {
    switch (number) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        default: return "signal " + std::to_string(number);
    }
}

}  // namespace stepcount::console
