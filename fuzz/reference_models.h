// Plain, independent restatements of each language's line rules, written
// straight from their description and kept as simple as possible, against
// which the fuzz targets check the counters line by line.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "counters/count_result.h"
#include "counters/languages.h"
#include "counters/line_class.h"

namespace stepcount::fuzz {

inline bool holds(std::string_view line, std::string_view marker, std::size_t from = 0) {
    return from <= line.size() && line.find(marker, from) != std::string_view::npos;
}

inline bool holdsIgnoringCase(std::string_view line, std::string_view lowerMarker) {
    std::string lowered(line);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lowered.find(lowerMarker) != std::string::npos;
}

// C family ("//") and SQL ("--").
struct CFamilyModel {
    std::string_view lineComment;
    bool block = false;

    LineVerdict classify(std::string_view w) {
        if (block) {
            if (holds(w, "*/")) block = false;
            return {LineClass::Comment};
        }
        std::size_t i = 0;
        while (i < w.size()) {
            const auto c = static_cast<unsigned char>(w[i]);
            if (!(c <= 0x20 || c == 0x7F || c >= 0x80)) break;
            ++i;
        }
        if (i == w.size()) return {LineClass::Blank};
        if (w.substr(i, 2) == "/*") {
            block = !holds(w, "*/", i + 1);
            return {LineClass::Comment};
        }
        if (w.substr(i, 2) == lineComment) return {LineClass::Comment};
        return {LineClass::Code};
    }
};

struct VBModel {
    bool body;   // false in a form's property-definition section

    LineVerdict classify(std::string_view w) {
        if (!body && (holds(w, "Attribute") || holds(w, "Option Explicit"))) body = true;
        if (!body) return {LineClass::PropertyDefinition};
        for (const char ch : w) {
            if (ch == '\'') return {LineClass::Comment};
            if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9')) {
                return {LineClass::Code};
            }
        }
        return {LineClass::Blank};
    }
};

struct HTMLModel {
    bool block = false;
    bool script = false;

    static bool stepByte(unsigned char c) {
        return (c >= 0x21 && c <= 0x7E) || (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFE);
    }

    LineVerdict classify(std::string_view w) {
        if (w.empty()) return {LineClass::Blank};
        if (!block) {
            if (!script && holdsIgnoringCase(w, "<script")) {
                script = true;
            } else if (script && holdsIgnoringCase(w, "</script>")) {
                script = false;
            }
        }
        if (block) {
            if (holds(w, "*/") || holds(w, "-->")) block = false;
            return {LineClass::Comment};
        }
        if (!script && holds(w, "<!--")) {
            block = true;
            if (holds(w, "*/", 1) || holds(w, "-->")) block = false;
            return {LineClass::Comment};
        }
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (w.substr(i, 2) == "/*") {
                block = true;
                if (holds(w, "*/", i + 1) || holds(w, "-->")) block = false;
                return {LineClass::Comment};
            }
            if (w.substr(i, 2) == "//") {
                if (script && w.substr(i, 5) == "//-->") return {LineClass::Code};
                return {LineClass::Comment};
            }
            if (w[i] == '\'') return {LineClass::Comment};
            if (stepByte(static_cast<unsigned char>(w[i]))) return {LineClass::Code};
        }
        return {LineClass::Blank};
    }
};

struct COBOLModel {
    // 0 not seen, 1 current, 2 passed; identification, environment, data,
    // procedure.
    std::array<int, 4> state{};

    Division current() const {
        static constexpr Division kDivisions[] = {Division::Identification, Division::Environment,
                                                  Division::Data, Division::Procedure};
        for (int d = 0; d < 4; ++d) {
            if (state[d] == 1) return kDivisions[d];
        }
        return Division::None;
    }

    LineVerdict classify(std::string_view w) {
        if (w.size() <= 6) return {LineClass::Blank};
        const char indicator = w[6];
        if (indicator == '*' || indicator == '/') return {LineClass::Comment, current()};
        if (indicator == 'D') return {LineClass::Debug, current()};
        if (indicator == '-') return {LineClass::Continuation};
        static constexpr std::string_view kHeaders[] = {
            "IDENTIFICATION DIVISION.", "ENVIRONMENT DIVISION.", "DATA DIVISION.",
            "PROCEDURE DIVISION."};
        for (int d = 0; d < 4; ++d) {
            if (state[d] == 0 && w.substr(7).starts_with(kHeaders[d])) {
                for (int before = 0; before < d; ++before) state[before] = 2;
                state[d] = 1;
                return {LineClass::Code, current()};
            }
        }
        for (std::size_t column = 7; column <= 72 && column <= w.size(); ++column) {
            const auto c = static_cast<unsigned char>(w[column - 1]);
            if (c >= 33 && c <= 126) return {LineClass::Code, current()};
        }
        return {LineClass::Blank, current()};
    }
};

// The model of one language's lines, fresh for one file.
using LineModel = std::variant<CFamilyModel, VBModel, HTMLModel, COBOLModel>;

// The model of the language `id` for a file of the kind its type check gave;
// nothing for a language without one.
inline std::optional<LineModel> modelOf(LanguageId id, int fileKind) {
    switch (id) {
        case LanguageId::VB: return VBModel{fileKind != kVBForm};
        case LanguageId::VC: return CFamilyModel{"//"};
        case LanguageId::SQL: return CFamilyModel{"--"};
        case LanguageId::HTML: return HTMLModel{};
        case LanguageId::COBOL: return COBOLModel{};
        case LanguageId::None: break;
    }
    return std::nullopt;
}

inline LineVerdict classify(LineModel& model, std::string_view window) {
    return std::visit([window](auto& m) { return m.classify(window); }, model);
}

}  // namespace stepcount::fuzz
