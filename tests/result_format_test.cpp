// The ratio's format and the result file's path.
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "report/result_format.h"
#include "runs/count_runs.h"

namespace stepcount {
namespace {

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
    using Case = std::tuple<std::string, std::string, std::string>;
#if defined(_WIN32)
    const std::vector<Case> cases = {
        {"C:\\", "out.csv", "C:\\\\out.csv"},
        {"out\\", "r.csv", "out\\\\r.csv"},
        {"out/", "r.csv", "out/\\r.csv"},
        {".", "LocResult.csv", ".\\LocResult.csv"},
        {" ", " ", " \\ "}};
#else
    const std::vector<Case> cases = {
        {"/dev", "full", "/dev/full"},
        {"/", "out.csv", "//out.csv"},
        {"out/", "r.csv", "out//r.csv"},
        {".", "LocResult.csv", "./LocResult.csv"},
        {" ", " ", " / "}};
#endif
    for (const auto& [folder, name, path] : cases) {
        CountSettings settings;
        settings.SaveFolder = folder;
        settings.ResultFileName = name;
        EXPECT_EQ(resultPath(settings), path);
    }
}

}  // namespace
}  // namespace stepcount
