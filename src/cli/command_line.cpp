#include "cli/command_line.h"

#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>
#include <vector>

#include "counters/languages.h"
#include "runs/revision.h"
#include "platform/ascii.h"
#include "platform/directory.h"
#include "platform/exception.h"
#include "platform/file_system.h"

namespace stepcount::cli {

namespace {

// The languages of the help, one line each: the word, what it covers and
// the extensions of its files.
std::string languageLines() {
    std::string lines;
    for (const Language& language : languages()) {
        std::string line = "                           ";
        line += language.word;
        line.resize(line.size() + (language.word.size() < 7 ? 7 - language.word.size() : 1), ' ');
        line += language.description;
        line.resize(std::max(line.size() + 1, std::size_t{62}), ' ');
        for (const AcceptedExtension& accepted : language.extensions) {
            line += '.';
            line += accepted.extension;
            line += ' ';
        }
        line.back() = '\n';
        lines += line;
    }
    return lines;
}

// The words of the languages, "a, b, c or d"; of those that may be counted
// together when `together` is set.
std::string languageWords(bool together, std::string_view lastJoin) {
    std::vector<std::string_view> words;
    for (const Language& language : languages()) {
        if (!together || language.severalBit != 0) words.push_back(language.word);
    }
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? lastJoin : ", ";
        text += words[i];
    }
    return text;
}

bool setSingleLanguage(const std::string& word, CountSettings& settings) {
    const Language* language = findLanguage(word);
    if (language == nullptr) return false;
    settings.*choiceOf(language->id).alone = true;
    return true;
}

bool setLanguageList(const std::string& list, CountSettings& settings, std::string& error) {
    settings.MultiSelected = true;
    std::stringstream items(list);
    std::string item;
    bool any = false;
    while (std::getline(items, item, ',')) {
        const Language* language = findLanguage(item);
        if (language == nullptr) {
            error = "unknown language '" + item + "' in -m (choose from " +
                    languageWords(true, ", ") + ")";
            return false;
        }
        if (language->severalBit == 0) {
            error = std::string(language->word) +
                    " cannot be counted together with other languages; use -l " +
                    std::string(language->word);
            return false;
        }
        settings.*choiceOf(language->id).together = true;
        any = true;
    }
    if (!any) {
        error = "-m needs a comma list of languages (" + languageWords(true, ", ") + ")";
        return false;
    }
    return true;
}

constexpr unsigned kMaxJobs = 256;

// A job count: a decimal number from 1 to kMaxJobs, nothing else.
bool parseJobs(const char* text, unsigned& jobs) {
    if (*text == '\0') return false;
    unsigned value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
        value = value * 10 + static_cast<unsigned>(*c - '0');
        if (value > kMaxJobs) return false;
    }
    if (value == 0) return false;
    jobs = value;
    return true;
}

// The option that getopt_long stopped at, as the user wrote it.
std::string optionText(const std::vector<char*>& argv, int shortOption) {
    if (shortOption != 0) return std::string("-") + static_cast<char>(shortOption);
    return argv[static_cast<std::size_t>(optind) - 1];
}

}  // namespace

void splitResultPath(const std::string& path, std::string& folder, std::string& name) {
    // At the last separator: "/", on Windows "\" or "/".
    const std::size_t separator = lastSeparator(path);
    if (separator == std::string::npos) {
        // The current folder; on Windows that of the drive of "C:name".
        const std::size_t root = rootLength(path);
        folder.assign(path, 0, root).append(1, '.');
        name.assign(path, root);
    } else {
        // A file right below the root keeps the root as its folder.
        if (separator == 0) {
            folder = std::string(kRootFolder);
        } else {
            folder.assign(path, 0, separator);
        }
        name.assign(path, separator + 1);
    }
}

std::string helpText() {
    return std::string(R"(Usage: stepcount (-l LANGUAGE | -m LIST) [options] FOLDER
       stepcount (-l LANGUAGE | -m LIST) [options] --diff OLD NEW
       stepcount (-l LANGUAGE | -m LIST) [options] --repo PATH REV[:SUBFOLDER]
       stepcount (-l LANGUAGE | -m LIST) [options] --repo PATH --diff REV_A REV_B

Counts the steps (lines) of the source files below FOLDER and appends one row
for every folder and file to a result file (CSV, Shift_JIS by default). With
--diff, counts the steps added, changed and deleted from the tree OLD to the
tree NEW instead, into a comparison result file.

  -l, --lang LANGUAGE    count one language:
)") + languageLines() +
           R"(  -m, --multi LIST       count several languages in one pass, LIST being a
                         comma list of )" +
           languageWords(true, " and ") + R"(
  -o, --output FILE      result file, appended to (default: LocResult.csv;
                         with --diff, DiffResult.csv)
      --diff             compare the two folders given, OLD and NEW
      --repo PATH        count a revision of the git repository at PATH
                         instead of a folder: FOLDER is then REV or
                         REV:SUBFOLDER (a tag, a branch, a commit id,
                         HEAD~3 ...); with --diff, OLD and NEW are
                         revisions, NEW may be "." for the work tree
      --ignore-case      with --diff: steps that differ only in the case of
                         ASCII letters are the same
      --encoding ENC     result file encoding: cp932 (default) or utf-8
  -j, --jobs N           count N files at once (default: the number of
                         cores); the result file is the same for every N
  -s, --summary          print a table of the totals per language at the end
  -q, --quiet            no progress line
  -h, --help             show this help and exit
  -V, --version          show the version and exit

Exit status: 0 done, 1 the result file could not be opened or written,
2 wrong arguments, 130 or 143 stopped by Ctrl-C or SIGTERM (the rows written
before the stop are kept, each whole).

Comparing versions (--diff): only real steps take part, never comment or
blank lines. A step is its whole line without the spaces and tabs at its ends
(COBOL: columns 7 to 72), so re-indenting changes nothing, and commenting a
line out deletes a step. The steps of the two versions of each file are
lined up so that as many as possible match: those are unchanged. Between two
matches, d steps of OLD and a steps of NEW make min(d, a) changed steps, and
the rest added (NEW) or deleted (OLD). For example, calc.c with 14 steps in
each version:
      OLD                              NEW
      int x = 1;                       int x = 10;
      int y = 2;                       int y = 2;
  OLD's puts("start"); before x = 1 is commented out in NEW: 2 steps of OLD
  against 1 of NEW, so 1 changed and 1 deleted; and
      printf("%d\n", add(x, y));       int z = 3;
                                       printf("%d\n", add(x, y) + z);
  is 1 step against 2: 1 changed, 1 added. The file gives added 1, changed 2,
  deleted 1, unchanged 11, and 3 steps added or changed. A file only in NEW
  is new (all its steps added), one only in OLD deleted (all deleted).

Examples:
  stepcount -l c -o result.csv src/
  stepcount -m vb,c,sql,html --summary src/
  stepcount -l c --diff release-1.0/ release-1.1/
  stepcount -m c,sql --repo . --diff v1.0 v1.1
  stepcount -l c --repo ~/src/app v1.1:src

A revision is read straight from the repository, never checked out. Its
rows are those of a count of its checkout into a folder named after the
revision; a file's size is its blob's size and its date the revision's
commit time (a repository keeps no date per file; a tree that no commit holds
gives none, and the date is left empty). Symbolic links are listed uncounted
and submodules without content, each with a message.
)";
}

bool parseCommandLine(const std::vector<std::string>& arguments, CommandLine& commandLine,
                      std::string& error) {
    static const option kOptions[] = {
        {"lang", required_argument, nullptr, 'l'},
        {"multi", required_argument, nullptr, 'm'},
        {"output", required_argument, nullptr, 'o'},
        {"encoding", required_argument, nullptr, 'e'},
        {"jobs", required_argument, nullptr, 'j'},
        {"summary", no_argument, nullptr, 's'},
        {"diff", no_argument, nullptr, 'd'},
        {"ignore-case", no_argument, nullptr, 'i'},
        {"repo", required_argument, nullptr, 'r'},
        {"quiet", no_argument, nullptr, 'q'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},
        {nullptr, 0, nullptr, 0},
    };
    std::vector<std::string> copies(arguments);
    copies.insert(copies.begin(), "stepcount");
    std::vector<char*> argv;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(copies.size());

    CountSettings& settings = commandLine.settings;
    std::string output;
    bool single = false;
    bool multi = false;
    optind = 0;  // a fresh scan, also when called more than once
    opterr = 0;  // errors are reported here
    for (;;) {
        int index = 0;
        const int option = ::getopt_long(argc, argv.data(), ":l:m:o:j:sqhV", kOptions, &index);
        if (option == -1) break;
        switch (option) {
            case 'l':
                if (single) {
                    error = "-l can be given only once";
                    return false;
                }
                single = true;
                if (!setSingleLanguage(optarg, settings)) {
                    error = std::string("unknown language '") + optarg + "' for -l (choose " +
                            languageWords(false, " or ") + ")";
                    return false;
                }
                break;
            case 'm':
                if (multi) {
                    error = "-m can be given only once; list the languages with commas";
                    return false;
                }
                multi = true;
                if (!setLanguageList(optarg, settings, error)) return false;
                break;
            case 'o': output = optarg; break;
            case 'e': {
                const std::string encoding = ascii::lowerCase(optarg);
                if (encoding == "cp932" || encoding == "shift_jis" || encoding == "sjis") {
                    settings.Encoding = ResultEncoding::CP932;
                } else if (encoding == "utf-8" || encoding == "utf8") {
                    settings.Encoding = ResultEncoding::UTF8;
                } else {
                    error = std::string("unknown encoding '") + optarg + "' (choose cp932 or utf-8)";
                    return false;
                }
                break;
            }
            case 'j':
                if (!parseJobs(optarg, settings.Jobs)) {
                    error = std::string("-j needs a whole number of files to count at once, from 1 to ") +
                            std::to_string(kMaxJobs) + ", not '" + optarg + "'";
                    return false;
                }
                break;
            case 's': commandLine.summary = true; break;
            case 'd': commandLine.action = CommandLine::Action::Diff; break;
            case 'i': commandLine.ignoreCase = true; break;
            case 'r':
                if (*optarg == '\0') {
                    error = "--repo needs the folder of a git repository";
                    return false;
                }
                settings.Repository = optarg;
                break;
            case 'q': commandLine.quiet = true; break;
            case 'h': commandLine.action = CommandLine::Action::Help; return true;
            case 'V': commandLine.action = CommandLine::Action::Version; return true;
            case ':':
                error = "option " + optionText(argv, optopt) + " needs a value";
                return false;
            default:
                error = "unknown option " + optionText(argv, optopt);
                return false;
        }
    }
    const int folders = argc - optind;
    if (single && multi) {
        error = "choose either one language with -l or several with -m, not both";
        return false;
    }
    if (!single && !multi) {
        error = "choose a language with -l, or several with -m";
        return false;
    }
    const bool diff = commandLine.action == CommandLine::Action::Diff;
    if (diff && folders != 2) {
        error = "--diff needs two folders, OLD and NEW";
        return false;
    }
    if (!diff && folders == 0) {
        error = "no folder to count given";
        return false;
    }
    if (!diff && folders > 1) {
        error = "only one folder can be counted at a time";
        return false;
    }
    if (commandLine.ignoreCase && !diff) {
        error = "--ignore-case goes with --diff";
        return false;
    }
    if (commandLine.summary && diff) {
        error = "--summary goes with a count, not with --diff";
        return false;
    }
    if (output.empty()) {
        output = diff ? texts::kDefaultDiffResultFileName : texts::kDefaultResultFileName;
    }
    if (diff) {
        commandLine.oldFolder = argv[static_cast<std::size_t>(optind)];
        commandLine.newFolder = argv[static_cast<std::size_t>(optind) + 1];
    } else {
        settings.CountFolder = argv[static_cast<std::size_t>(optind)];
    }
    splitResultPath(output, settings.SaveFolder, settings.ResultFileName);
    if (settings.ResultFileName.empty()) {
        error = "the result file '" + output + "' names a folder, not a file";
        return false;
    }
    return true;
}

DiffSettings CommandLine::diffSettings() const {
    DiffSettings diff;
    diff.OldFolder = oldFolder;
    diff.NewFolder = newFolder;
    diff.choices = settings;
    diff.IgnoreCase = ignoreCase;
    return diff;
}

bool checkRevision(const std::string& repository, const std::string& revision, bool workTreeToo,
                   std::string& error) {
    try {
        if (workTreeToo && isWorkTree(revision)) {
            revisionVersion(repository, revision);
        } else {
            resolveRevision(repository, revision);
        }
        return true;
    } catch (const git::GitError& failure) {
        error = failure.what();
        return false;
    }
}

bool checkCountFolder(const std::string& folder, std::string& error) {
    if (openFolder(folder).valid()) return true;
    error = "cannot count '" + folder + "': " +
            (errno == ENOTDIR ? std::string("not a folder") : systemErrorText(errno));
    return false;
}

}  // namespace stepcount::cli
