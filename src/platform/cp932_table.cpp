#include "platform/cp932_table.h"

#include <array>
#include <cstddef>

namespace stepcount::cp932 {

namespace {

constexpr Run kRuns[] = {
#include "platform/cp932_table.inc"
};

// Two levels: the scalar value's high bits choose a page of 256 codes, its
// low 8 bits the code in that page. Pages without a convertible value share
// page 0, in which nothing converts.
constexpr std::size_t kPageSize = 256;
constexpr std::size_t kPageSlots = 0x110000 / kPageSize;

constexpr std::size_t countPages() {
    std::array<bool, kPageSlots> used{};
    std::size_t pages = 1;
    for (const Run& run : kRuns) {
        for (char32_t c = run.first; c < run.first + run.count; ++c) {
            if (!used[c / kPageSize]) ++pages;
            used[c / kPageSize] = true;
        }
    }
    return pages;
}

constexpr std::size_t kPageCount = countPages();
static_assert(kPageCount <= 256, "page numbers are stored in one byte");

struct PageTable {
    std::array<std::uint8_t, kPageSlots> pageOf{};
    std::array<std::array<Code, kPageSize>, kPageCount> pages{};
};

constexpr PageTable buildPageTable() {
    PageTable table;
    for (auto& page : table.pages) page.fill(kNoForm);
    std::size_t pages = 1;
    for (const Run& run : kRuns) {
        Code code = run.code;
        for (char32_t c = run.first; c < run.first + run.count; ++c) {
            std::uint8_t& page = table.pageOf[c / kPageSize];
            if (page == 0) page = static_cast<std::uint8_t>(pages++);
            table.pages[page][c % kPageSize] = code;
            code = nextCode(code);
        }
    }
    return table;
}

constexpr PageTable kTable = buildPageTable();

}  // namespace

Code codeOf(char32_t c) {
    if (c >= kPageSlots * kPageSize) return kNoForm;
    return kTable.pages[kTable.pageOf[c / kPageSize]][c % kPageSize];
}

bool appendCp932(std::string& out, char32_t c) {
    const Code code = codeOf(c);
    if (code == kNoForm) return false;
    if (code == kNoBytes) return true;
    if (code > 0xFF) out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
    return true;
}

}  // namespace stepcount::cp932
