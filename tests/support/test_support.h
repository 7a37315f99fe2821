// Helpers shared by the tests: a message display that records what it is
// asked to show, a temporary folder that removes itself, and the verdicts of
// line rules for a list of lines.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "counters/line_class.h"
#include "platform/message_display.h"

namespace stepcount::testing {

class RecordingDisplay : public MessageDisplay {
public:
    struct Box {
        std::string text;
        std::string caption;
        MessageKind kind;
    };

    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    void showMessageBox(std::string_view text, std::string_view caption, MessageKind kind) override {
        boxes.push_back(Box{std::string(text), std::string(caption), kind});
    }

    std::vector<std::string> messages;  // counters' error dialogs
    std::vector<Box> boxes;             // message boxes
};

// A fresh folder under the system's temporary folder, removed with its
// content when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of `relative` inside the folder, as a string.
    std::string at(std::string_view relative) const;
    // Writes `bytes` to `relative`, creating the folders on the way; returns
    // the file's path.
    std::string write(std::string_view relative, std::string_view bytes) const;
    // Creates the folder `relative` and those on the way; returns its path.
    std::string mkdir(std::string_view relative) const;

private:
    std::filesystem::path path_;
};

// The whole content of a file, as bytes.
std::string readFile(const std::string& path);

// The verdicts of a language's line rules for `lines`, taken as one file of
// kind `fileKind` from its first line on.
template <class Rules>
std::vector<LineVerdict> verdictsOf(Rules rules, const std::vector<std::string>& lines,
                                    int fileKind = 0) {
    rules.start(fileKind);
    std::vector<LineVerdict> verdicts;
    for (const std::string& line : lines) verdicts.push_back(rules.classify(line));
    return verdicts;
}

// The same, the classes only.
template <class Rules>
std::vector<LineClass> classesOf(Rules rules, const std::vector<std::string>& lines,
                                 int fileKind = 0) {
    std::vector<LineClass> classes;
    for (const LineVerdict& verdict : verdictsOf(std::move(rules), lines, fileKind)) {
        classes.push_back(verdict.lineClass);
    }
    return classes;
}

}  // namespace stepcount::testing

namespace stepcount {

// Readable names in test failure messages.
void PrintTo(LineClass lineClass, std::ostream* out);
void PrintTo(Division division, std::ostream* out);
void PrintTo(const LineVerdict& verdict, std::ostream* out);

}  // namespace stepcount
