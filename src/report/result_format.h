// The result file's lines: the three headers and every row layout.
//
// Rows by the run that writes them:
//   single language, standard (C family, SQL, HTML):
//     counted   folder,name,File,size,date,read,comment,blank,real,total,ratio
//   single language, VB: as standard, then the property-definition steps
//   single language, COBOL: as standard, then debug, identification,
//     environment, data and procedure division lines
//   several languages: VB files as VB; the others padded with one empty
//     column, so that every row has the twelve columns of the VB header
//   every run: a folder is folder,name,Directory followed by nine commas, a
//     file without counts folder,name,File and nine commas (COBOL: twelve)
//
// Numbers are decimal; the size is the full 64-bit size; the ratio has one
// digit after the point. A folder or name field that holds a comma, a double
// quote, CR or LF is quoted, its double quotes doubled. Every line ends in
// CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "counters/count_result.h"
#include "counters/languages.h"

namespace stepcount {

enum class ResultLayout {
    Standard,   // C family, SQL, HTML family
    VB,
    COBOL,
    MultiLanguage,
};

// The layout of a run's result file: a language's own when it is counted
// alone, the multi-language layout for several.
ResultLayout layoutOf(const LanguageSet& languages);

// The header of a layout, as UTF-8 text ending in "\n".
std::string_view headerText(ResultLayout layout);

// Appends `field` to `row`, quoted when it holds a comma, a double quote, CR
// or LF.
void appendField(std::string& row, std::string_view field);

// Appends the row of a folder or of a file to `row`. `folder` and `name` are
// already in the output encoding; `date` is the date column's text.
void appendFolderRow(std::string& row, ResultLayout layout, std::string_view folder,
                     std::string_view name);
void appendFileRow(std::string& row, ResultLayout layout, std::string_view folder,
                   std::string_view name, std::uint64_t size, std::string_view date,
                   const FileCount& count);

// The text with each "\n" turned into CR LF.
std::string withCrLf(std::string_view text);

}  // namespace stepcount
