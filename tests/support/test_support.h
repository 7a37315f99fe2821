// Helpers shared by the tests: a message display that records what it is
// asked to show, and a temporary folder that removes itself.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

}  // namespace stepcount::testing
