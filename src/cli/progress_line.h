// The progress line on a terminal: files and folders done and the folder
// being counted, redrawn a few times a second on one line of stderr and
// cleared at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "walk/walk_observer.h"

namespace stepcount::cli {

class ProgressLine : public WalkObserver {
public:
    // Draws on `stream` (a terminal) when `enabled`; otherwise does nothing.
    ProgressLine(std::FILE* stream, bool enabled) : stream_(stream), enabled_(enabled) {}

    void onFolder(std::string_view folder, std::string_view name) override;
    void onFile(const WalkedFile& file) override;
    void onFolderPair(std::string_view folder, std::string_view name, Sides sides) override;
    void onFilePair(const PairedFile& file) override;

    // Erases the line, so that a message can be printed; the next entry
    // draws it again.
    void clear();

private:
    void advance(std::string_view folder);
    void draw();

    std::FILE* stream_;
    bool enabled_;
    bool drawn_ = false;
    std::uint64_t files_ = 0;
    std::uint64_t folders_ = 0;
    std::string folder_;
    std::chrono::steady_clock::time_point lastDraw_{};
};

// The tail of `text` that fits `columns` terminal columns, "..." in front
// when it was cut. Characters from U+1100 up count two columns, a safe
// estimate for CJK text.
std::string fitToColumns(std::string_view text, std::size_t columns);

}  // namespace stepcount::cli
