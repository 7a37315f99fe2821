// stepcount: counts the steps of the source files below a folder into a
// result file, from the command line.
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/progress_line.h"
#include "cli/terminal_front_end.h"
#include "platform/stop_request.h"
#include "platform/texts.h"
#include "report/result_file.h"
#include "report/run_tally.h"
#include "report/summary_table.h"
#include "runs/count_command.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitResultFileFailed = 1;
constexpr int kExitUsage = 2;

// The signal that stopped the run, for the closing message.
volatile std::sig_atomic_t stopSignal = 0;

// Ctrl-C (SIGINT) and SIGTERM stop the run at the next row or within the
// file being read; a second one ends the program at once.
void onStopSignal(int signalNumber) {
    stopSignal = signalNumber;
    stepcount::requestStop(signalNumber);
}

void stopOnSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

std::string signalName(int signalNumber) {
    switch (signalNumber) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        default: return "signal " + std::to_string(signalNumber);
    }
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "stepcount: %s\nTry 'stepcount --help' for more information.\n",
                 message.c_str());
    return kExitUsage;
}

int run(int argc, char** argv) {
    using namespace stepcount;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    cli::CommandLine commandLine;
    std::string error;
    if (!cli::parseCommandLine(arguments, commandLine, error)) return usageError(error);
    if (commandLine.action == cli::CommandLine::Action::Help) {
        std::fputs(cli::helpText().c_str(), stdout);
        return kExitDone;
    }
    if (commandLine.action == cli::CommandLine::Action::Version) {
        std::printf("stepcount %s\n", std::string(texts::kVersionNumber).c_str());
        return kExitDone;
    }
    if (!cli::checkCountFolder(commandLine.settings.CountFolder, error)) return usageError(error);

    const CountSettings& settings = commandLine.settings;
    cli::ProgressLine progress(stderr, !commandLine.quiet && ::isatty(STDERR_FILENO) == 1);
    cli::TerminalFrontEnd frontEnd(progress);
    ResultFileWriter resultFile(resultPath(settings), settings.Encoding);
    RunTally tally;
    SummaryTable summary;
    RunOutputs outputs{&resultFile, &progress, &tally};
    if (commandLine.summary) outputs.push_back(&summary);

    stopOnSignals();
    switch (runCountCommand(settings, frontEnd, outputs)) {
        case RunOutcome::Completed:
            std::printf("Files counted: %llu, files not counted: %llu, folders: %llu, "
                        "total steps: %llu. Result file: %s\n",
                        static_cast<unsigned long long>(tally.filesCounted),
                        static_cast<unsigned long long>(tally.filesNotCounted),
                        static_cast<unsigned long long>(tally.folders),
                        static_cast<unsigned long long>(tally.totalSteps),
                        resultFile.path().c_str());
            if (commandLine.summary) std::printf("\n%s", summary.text().c_str());
            return kExitDone;
        case RunOutcome::SettingsRefused: return kExitUsage;
        case RunOutcome::OpenFailed:
        case RunOutcome::WriteFailed: return kExitResultFileFailed;
        case RunOutcome::Stopped: {
            progress.clear();
            const int signalNumber = stopSignal;
            std::fprintf(stderr,
                         "stepcount: stopped by %s; the result file holds the rows written before "
                         "the stop: %s\n",
                         signalName(signalNumber).c_str(), resultFile.path().c_str());
            // As a shell reports a program that a signal ended.
            return 128 + signalNumber;
        }
    }
    return kExitDone;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "stepcount: %s\n", failure.what());
        return kExitResultFileFailed;
    }
}
