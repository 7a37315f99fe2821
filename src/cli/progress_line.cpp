#include "cli/progress_line.h"

#include <vector>

#include "platform/console.h"

namespace stepcount::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

}  // namespace

std::string fitToColumns(std::string_view text, std::size_t columns) {
    // Start byte and width of each character, a byte that is no UTF-8 lead
    // byte counting as a character of its own.
    struct Character {
        std::size_t start;
        std::size_t width;
    };
    std::vector<Character> characters;
    std::size_t total = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 1;
        if (lead >= 0xF0) length = 4;
        else if (lead >= 0xE0) length = 3;
        else if (lead >= 0xC0) length = 2;
        if (i + length > text.size()) length = 1;
        const std::size_t width = lead < 0x80 ? 1 : (lead >= 0xE1 ? 2 : 1);
        characters.push_back({i, width});
        total += width;
        i += length;
    }
    if (total <= columns) return std::string(text);
    const std::string_view ellipsis = "...";
    if (columns <= ellipsis.size()) return std::string(ellipsis.substr(0, columns));
    std::size_t kept = 0;
    std::size_t from = characters.size();
    while (from > 0 && kept + characters[from - 1].width <= columns - ellipsis.size()) {
        kept += characters[--from].width;
    }
    const std::size_t start = from < characters.size() ? characters[from].start : text.size();
    return std::string(ellipsis) + std::string(text.substr(start));
}

void ProgressLine::onFolder(std::string_view folder, std::string_view) {
    ++folders_;
    advance(folder);
}

void ProgressLine::onFile(const WalkedFile& file) {
    ++files_;
    advance(file.folder);
}

void ProgressLine::onFolderPair(std::string_view folder, std::string_view, Sides) {
    ++folders_;
    advance(folder);
}

void ProgressLine::onFilePair(const PairedFile& file) {
    ++files_;
    advance(file.folder);
}

void ProgressLine::advance(std::string_view folder) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - lastDraw_ < kRedrawInterval) return;
    lastDraw_ = now;
    folder_.clear();
    for (const char c : folder) {
        // Control bytes in a name would move the cursor.
        const auto byte = static_cast<unsigned char>(c);
        folder_ += byte < 0x20 || byte == 0x7F ? '?' : c;
    }
    draw();
}

void ProgressLine::draw() {
    const std::string counts =
        std::to_string(files_) + " files, " + std::to_string(folders_) + " folders: ";
    const std::size_t columns = console::columns(stream_);
    const std::size_t room = columns > counts.size() + 1 ? columns - counts.size() - 1 : 0;
    console::write(stream_, "\r" + counts + fitToColumns(folder_, room) + "\x1b[K");
    drawn_ = true;
}

void ProgressLine::clear() {
    if (!enabled_ || !drawn_) return;
    console::write(stream_, "\r\x1b[K");
    drawn_ = false;
}

}  // namespace stepcount::cli
