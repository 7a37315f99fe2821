// The pieces of the result file: the rows of every layout, the ratio's
// format, and the result file's path.
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "report/result_format.h"
#include "runs/count_runs.h"

namespace stepcount {
namespace {

struct RowCase {
    ResultLayout layout;
    FileCount count;
    std::string row;   // what follows "/f,n.x,"
};

TEST(ResultFormatTest, FileRowsOfEveryLayout) {
    const std::string date = "2020/09/13 12:26:40";
    const CountResult plain{7, 1, 2, 4, 7, 300.0 / 7.0};
    const VBCountResult vb{2, 20, 2, 3, 4, 9, 11, 500.0 / 9.0};
    const COBOLCountResult cobol{10, 2, 3, 4, 1, 7, 600.0 / 7.0, 5, 6, 8, 9};
    const std::string nine = ",,,,,,,,,";
    const std::string twelve = ",,,,,,,,,,,,";
    const std::vector<RowCase> cases = {
        {ResultLayout::Standard, plain, "File,123," + date + ",7,1,2,4,7,42.9"},
        {ResultLayout::MultiLanguage, plain, "File,123," + date + ",7,1,2,4,7,42.9,"},
        {ResultLayout::VB, vb, "File,123," + date + ",20,2,3,4,9,55.6,11"},
        {ResultLayout::MultiLanguage, vb, "File,123," + date + ",20,2,3,4,9,55.6,11"},
        {ResultLayout::COBOL, cobol, "File,123," + date + ",10,2,4,1,7,85.7,3,5,6,8,9"},
        {ResultLayout::Standard, FileCount{}, "File" + nine},
        {ResultLayout::VB, FileCount{}, "File" + nine},
        {ResultLayout::MultiLanguage, FileCount{}, "File" + nine},
        {ResultLayout::COBOL, FileCount{}, "File" + twelve},
    };
    for (const RowCase& c : cases) {
        std::string row;
        appendFileRow(row, c.layout, "/f", "n.x", 123, date, c.count);
        EXPECT_EQ(row, "/f,n.x," + c.row + "\r\n") << static_cast<int>(c.layout);
    }
    for (const ResultLayout layout :
         {ResultLayout::Standard, ResultLayout::VB, ResultLayout::MultiLanguage}) {
        std::string row;
        appendFolderRow(row, layout, "/f", "sub");
        EXPECT_EQ(row, "/f,sub,Directory" + nine + "\r\n");
    }
    std::string row;
    appendFolderRow(row, ResultLayout::COBOL, "/f", "sub");
    EXPECT_EQ(row, "/f,sub,Directory" + twelve + "\r\n");
}

TEST(ResultFormatTest, RatioHasOneDecimalRoundedAsPrintfDoes) {
    const std::vector<std::pair<double, std::string>> cases = {
        {0.0, "0.0"},   {100.0, "100.0"}, {50.0, "50.0"},  {100.0 / 3.0, "33.3"},
        {200.0 / 3.0, "66.7"}, {12.25, "12.2"}, {0.05, "0.1"}, {99.96, "100.0"},
        {5.0, "5.0"},
    };
    for (const auto& [ratio, text] : cases) {
        std::string row;
        appendFileRow(row, ResultLayout::Standard, "/f", "a.c", 1, "D",
                      CountResult{1, 0, 0, 1, 1, ratio});
        EXPECT_EQ(row, "/f,a.c,File,1,D,1,0,0,1,1," + text + "\r\n") << ratio;
    }
}

TEST(ResultPathTest, SaveFolderSeparatorAndNameAreJoinedAsTheyAre) {
    for (const auto& [folder, name, path] : std::vector<std::tuple<std::string, std::string, std::string>>{
             {"/dev", "full", "/dev/full"},
             {"/", "out.csv", "//out.csv"},
             {"out/", "r.csv", "out//r.csv"},
             {".", "LocResult.csv", "./LocResult.csv"},
             {" ", " ", " / "}}) {
        CountSettings settings;
        settings.SaveFolder = folder;
        settings.ResultFileName = name;
        EXPECT_EQ(resultPath(settings), path);
    }
}

}  // namespace
}  // namespace stepcount
