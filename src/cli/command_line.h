// The arguments of the `stepcount` command.
#pragma once

#include <string>
#include <vector>

#include "runs/count_settings.h"
#include "runs/diff_command.h"

namespace stepcount::cli {

struct CommandLine {
    enum class Action { Count, Diff, Help, Version };
    Action action = Action::Count;
    // The count's choices; with --diff, the comparison's choices but its
    // folders (CountFolder is not set then).
    CountSettings settings;
    std::string oldFolder;   // --diff OLD NEW
    std::string newFolder;
    bool ignoreCase = false;
    bool quiet = false;
    bool summary = false;   // print the totals per language at the end

    // The settings of the comparison that --diff asks for.
    DiffSettings diffSettings() const;
};

// Parses the arguments (without the program name). On a usage error returns
// false with `error` set to a message for the user.
bool parseCommandLine(const std::vector<std::string>& arguments, CommandLine& commandLine,
                      std::string& error);

// Whether the count folder can be counted: false with `error` set when it
// does not exist or is not a folder.
bool checkCountFolder(const std::string& folder, std::string& error);

// Whether the repository at `repository` holds `revision` ("REV" or
// "REV:SUBFOLDER"; with `workTreeToo`, "." for its work tree): false with
// `error` naming what was not found.
bool checkRevision(const std::string& repository, const std::string& revision, bool workTreeToo,
                   std::string& error);

// Splits a result file path into the save folder and the file name.
void splitResultPath(const std::string& path, std::string& folder, std::string& name);

// The text of --help.
std::string helpText();

}  // namespace stepcount::cli
