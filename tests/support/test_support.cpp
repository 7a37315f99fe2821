#include "support/test_support.h"

#include "report/result_file.h"

#include <array>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <variant>

namespace stepcount::testing {

namespace fs = std::filesystem;

void CallLog::showMessage(std::string_view text) {
    RecordingFrontEnd::showMessage(text);
    calls.push_back("dialog: " + std::string(text));
}

void CallLog::onFolder(std::string_view folder, std::string_view name) {
    threads.insert(std::this_thread::get_id());
    calls.push_back(std::string(folder) + " | " + std::string(name) + "/");
}

void CallLog::onFile(const WalkedFile& file) {
    threads.insert(std::this_thread::get_id());
    std::string call = std::string(file.folder) + " | " + std::string(file.name);
    std::visit([&call](const auto& r) {
        if constexpr (requires { r.ulRealSteps; }) (call += ' ') += std::to_string(r.ulRealSteps);
    }, file.count);
    calls.push_back(std::move(call));
    if (afterFile) afterFile(file);
}

void CallLog::onFolderFailure(std::string_view path, int errorNumber) {
    threads.insert(std::this_thread::get_id());
    calls.push_back(std::string(path) + " failed " + std::to_string(errorNumber));
}

RunOutcome runLanguageCount(const CountSettings& settings, int languageCode, RunFrontEnd& frontEnd,
                            const std::vector<WalkObserver*>& extra) {
    ResultFileWriter resultFile(resultPath(settings), settings.Encoding);
    RunOutputs outputs{&resultFile};
    outputs.insert(outputs.end(), extra.begin(), extra.end());
    return runLanguageCode(settings, languageCode, frontEnd, outputs);
}

RunOutcome runCommand(const CountSettings& settings, RunFrontEnd& frontEnd,
                      const std::vector<WalkObserver*>& extra) {
    ResultFileWriter resultFile(resultPath(settings), settings.Encoding);
    RunOutputs outputs{&resultFile};
    outputs.insert(outputs.end(), extra.begin(), extra.end());
    return runCountCommand(settings, frontEnd, outputs);
}

fs::path fsPath(std::string_view path) {
#if defined(_WIN32)
    return fs::path(std::u8string(path.begin(), path.end()));
#else
    return fs::path(std::string(path));
#endif
}

std::string pathText(const fs::path& path) {
#if defined(_WIN32)
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

TempDir::TempDir() : TempDir(fs::temp_directory_path()) {}

// A free name of random digits; the folder is for its owner alone.
TempDir::TempDir(const fs::path& parent) {
    thread_local std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path folder = parent / ("stepcount-test-" + std::to_string(random() % 1000000000000));
        if (fs::create_directory(folder)) path_ = folder;   // throws when it cannot
    }
    if (path_.empty()) throw std::runtime_error("no free name in " + pathText(parent));
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, ignored);
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Folders made unreadable and files made read-only by a test would stop
    // the removal.
    const auto options = fs::directory_options::skip_permission_denied;
    for (auto it = fs::recursive_directory_iterator(path_, options, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        if (it->is_symlink(ignored)) continue;
        fs::permissions(it->path(), it->is_directory(ignored) ? fs::perms::owner_all : fs::perms::owner_write,
                        fs::perm_options::add, ignored);
    }
    fs::remove_all(path_, ignored);
}

std::string TempDir::at(std::string_view relative) const {
    return pathText((path_ / fsPath(relative)).make_preferred());
}

std::string TempDir::write(std::string_view relative, std::string_view bytes) const {
    const fs::path file = fsPath(at(relative));
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + pathText(file));
    return pathText(file);
}

std::string TempDir::mkdir(std::string_view relative) const {
    const std::string folder = at(relative);
    fs::create_directories(fsPath(folder));
    return folder;
}

CountSettings countSettings(const TempDir& dir, const std::string& resultName) {
    CountSettings settings;
    settings.CountFolder = dir.at("t");
    settings.SaveFolder = dir.text();
    settings.ResultFileName = resultName;
    settings.MessageCaption = "the caption";
    return settings;
}

std::string readFile(const std::string& path) {
    std::ifstream in(fsPath(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Ran runStepcount(const ProgramRun& run) { return StartedProgram(run).wait(); }

Counts countsOf(const CountResult& r) {
    return {double(r.ulReadLines), double(r.ulCommentLines), double(r.ulBlankLines),
            double(r.ulRealSteps), double(r.ulTotalSteps), r.dCommentRate};
}

Counts countsOf(const VBCountResult& r) {
    return {double(r.iFileType),     double(r.ulReadLines),  double(r.ulCommentLines),
            double(r.ulBlankLines),  double(r.ulRealSteps),  double(r.ulTotalSteps),
            double(r.ulPropertySteps), r.dCommentRate};
}

Counts countsOf(const COBOLCountResult& r) {
    return {double(r.ulReadLines),     double(r.ulCommentLines), double(r.ulDebugLines),
            double(r.ulBlankLines),    double(r.ulRealSteps),    double(r.ulTotalSteps),
            double(r.ulIdentDivLines), double(r.ulEnvDivLines),  double(r.ulDataDivLines),
            double(r.ulProcDivLines),  r.dCommentRate};
}

}  // namespace stepcount::testing

namespace stepcount {

void PrintTo(LineClass lineClass, std::ostream* out) {
    *out << std::array{"Blank", "Comment", "Code", "PropertyDefinition", "Debug", "Continuation"}
                [static_cast<int>(lineClass)];
}

void PrintTo(Division division, std::ostream* out) {
    *out << std::array{"None", "Identification", "Environment", "Data", "Procedure"}
                [static_cast<int>(division)];
}

void PrintTo(const LineVerdict& verdict, std::ostream* out) {
    *out << '{';
    PrintTo(verdict.lineClass, out);
    *out << ", ";
    PrintTo(verdict.division, out);
    *out << '}';
}

}  // namespace stepcount
