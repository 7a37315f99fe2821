#include "support/test_support.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <stdlib.h>

namespace stepcount::testing {

TempDir::TempDir() : TempDir(std::filesystem::temp_directory_path()) {}

TempDir::TempDir(const std::filesystem::path& parent) {
    std::string pattern = (parent / "stepcount-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Folders made unreadable by a test would stop the removal.
    for (auto it = std::filesystem::recursive_directory_iterator(
             path_, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
    }
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::at(std::string_view relative) const {
    return (path_ / std::filesystem::path(std::string(relative))).string();
}

std::string TempDir::write(std::string_view relative, std::string_view bytes) const {
    const std::filesystem::path file = path_ / std::filesystem::path(std::string(relative));
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
    return file.string();
}

std::string TempDir::mkdir(std::string_view relative) const {
    const std::filesystem::path folder = path_ / std::filesystem::path(std::string(relative));
    std::filesystem::create_directories(folder);
    return folder.string();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Counts countsOf(const CountResult& r) {
    return {r.ulReadLines, r.ulCommentLines, r.ulBlankLines, r.ulRealSteps, r.ulTotalSteps};
}

Counts countsOf(const VBCountResult& r) {
    return {r.iFileType,   r.ulReadLines,  r.ulCommentLines, r.ulBlankLines,
            r.ulRealSteps, r.ulTotalSteps, r.ulPropertySteps};
}

Counts countsOf(const COBOLCountResult& r) {
    return {r.ulReadLines,     r.ulCommentLines, r.ulDebugLines,   r.ulBlankLines,
            r.ulRealSteps,     r.ulTotalSteps,   r.ulIdentDivLines, r.ulEnvDivLines,
            r.ulDataDivLines, r.ulProcDivLines};
}

}  // namespace stepcount::testing

namespace stepcount {

void PrintTo(LineClass lineClass, std::ostream* out) {
    static constexpr const char* kNames[] = {"Blank", "Comment", "Code", "PropertyDefinition",
                                             "Debug", "Continuation"};
    *out << kNames[static_cast<int>(lineClass)];
}

void PrintTo(Division division, std::ostream* out) {
    static constexpr const char* kNames[] = {"None", "Identification", "Environment", "Data",
                                             "Procedure"};
    *out << kNames[static_cast<int>(division)];
}

void PrintTo(const LineVerdict& verdict, std::ostream* out) {
    *out << '{';
    PrintTo(verdict.lineClass, out);
    *out << ", ";
    PrintTo(verdict.division, out);
    *out << '}';
}

}  // namespace stepcount
