// stepcount: counts the steps of the source files below a folder into a
// result file, from the command line.
#include <exception>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/progress_line.h"
#include "cli/terminal_front_end.h"
#include "platform/console.h"
#include "platform/texts.h"
#include "report/diff_result_file.h"
#include "report/diff_tally.h"
#include "report/result_file.h"
#include "report/run_tally.h"
#include "report/summary_table.h"
#include "runs/count_command.h"
#include "runs/diff_command.h"

namespace {

using namespace stepcount;

enum class ExitStatus : int {
    Done = 0,
    ResultFileFailed = 1,   // the result file could not be opened or written
    Usage = 2,              // wrong arguments; nothing was written
};

int exitWith(ExitStatus status) { return static_cast<int>(status); }

int usageError(const std::string& message) {
    console::write(stderr, "stepcount: " + message +
                               "\nTry 'stepcount --help' for more information.\n");
    return exitWith(ExitStatus::Usage);
}

std::string closingLine(const RunTally& tally, const std::string& resultFile) {
    return "Files counted: " + std::to_string(tally.filesCounted) +
           ", files not counted: " + std::to_string(tally.filesNotCounted) +
           ", folders: " + std::to_string(tally.folders) +
           ", total steps: " + std::to_string(tally.totalSteps) + ". Result file: " + resultFile +
           "\n";
}

// The exit status of a run that did not complete.
int exitStatusOf(RunOutcome outcome, cli::ProgressLine& progress, const std::string& resultFile) {
    switch (outcome) {
        case RunOutcome::Completed: break;
        case RunOutcome::SettingsRefused: return exitWith(ExitStatus::Usage);
        case RunOutcome::OpenFailed:
        case RunOutcome::WriteFailed: return exitWith(ExitStatus::ResultFileFailed);
        case RunOutcome::Stopped: {
            progress.clear();
            const int interrupt = console::interruptNumber();
            console::write(stderr, "stepcount: stopped by " + console::interruptName(interrupt) +
                                       "; the result file holds the rows written before the stop: " +
                                       resultFile + "\n");
            // As a shell reports a program that a signal ended.
            return 128 + interrupt;
        }
    }
    return exitWith(ExitStatus::Done);
}

int count(const cli::CommandLine& commandLine) {
    const CountSettings& settings = commandLine.settings;
    cli::ProgressLine progress(stderr, !commandLine.quiet && console::isTerminal(stderr));
    cli::TerminalFrontEnd frontEnd(progress);
    ResultFileWriter resultFile(resultPath(settings), settings.Encoding);
    RunTally tally;
    SummaryTable summary;
    RunOutputs outputs{&resultFile, &progress, &tally};
    if (commandLine.summary) outputs.push_back(&summary);

    console::stopOnInterrupt();
    const RunOutcome outcome = runCountCommand(settings, frontEnd, outputs);
    if (outcome != RunOutcome::Completed) return exitStatusOf(outcome, progress, resultFile.path());
    console::write(stdout, closingLine(tally, resultFile.path()));
    if (commandLine.summary) console::write(stdout, "\n" + summary.text());
    return exitWith(ExitStatus::Done);
}

int compare(const cli::CommandLine& commandLine) {
    const DiffSettings settings = commandLine.diffSettings();
    cli::ProgressLine progress(stderr, !commandLine.quiet && console::isTerminal(stderr));
    cli::TerminalFrontEnd frontEnd(progress);
    DiffResultFileWriter resultFile(resultPath(settings.choices), settings.choices.Encoding);
    DiffTally tally;
    const RunOutputs outputs{&resultFile, &progress, &tally};

    console::stopOnInterrupt();
    const RunOutcome outcome = runDiffCommand(settings, frontEnd, outputs);
    if (outcome != RunOutcome::Completed) return exitStatusOf(outcome, progress, resultFile.path());
    console::write(stdout, tally.text() + " Result file: " + resultFile.path() + "\n");
    return exitWith(ExitStatus::Done);
}

int run(int argc, char** argv) {
    cli::CommandLine commandLine;
    std::string error;
    if (!cli::parseCommandLine(console::arguments(argc, argv), commandLine, error)) {
        return usageError(error);
    }
    switch (commandLine.action) {
        case cli::CommandLine::Action::Help:
            console::write(stdout, cli::helpText());
            return exitWith(ExitStatus::Done);
        case cli::CommandLine::Action::Version:
            console::write(stdout, "stepcount " + std::string(texts::kVersionNumber) + "\n");
            return exitWith(ExitStatus::Done);
        case cli::CommandLine::Action::Diff: {
            const std::string& repository = commandLine.settings.Repository;
            for (const std::string* version : {&commandLine.oldFolder, &commandLine.newFolder}) {
                const bool found = repository.empty()
                                       ? cli::checkCountFolder(*version, error)
                                       : cli::checkRevision(repository, *version, true, error);
                if (!found) return usageError(error);
            }
            return compare(commandLine);
        }
        case cli::CommandLine::Action::Count: break;
    }
    const CountSettings& settings = commandLine.settings;
    const bool found = settings.Repository.empty()
                           ? cli::checkCountFolder(settings.CountFolder, error)
                           : cli::checkRevision(settings.Repository, settings.CountFolder, false, error);
    if (!found) return usageError(error);
    return count(commandLine);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& failure) {
        console::write(stderr, std::string("stepcount: ") + failure.what() + "\n");
        return exitWith(ExitStatus::ResultFileFailed);
    }
}
