#include <gtest/gtest.h>

#include "counters/counters.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

TEST(Smoke, CountsACFile) {
    testing::TempDir dir;
    testing::RecordingDisplay display;
    const std::string path = dir.write("a.c", "/* c */\n\nint x;\r\n// y\r");
    mVCCalc_c counter(display);
    CountResult result{};
    ASSERT_EQ(counter.fiCalcFile(path, result), 0);
    EXPECT_EQ(result.ulReadLines, 4u);
    EXPECT_EQ(result.ulCommentLines, 2u);
    EXPECT_EQ(result.ulBlankLines, 1u);
    EXPECT_EQ(result.ulRealSteps, 1u);
    EXPECT_DOUBLE_EQ(result.dCommentRate, 75.0);
}

}  // namespace
}  // namespace stepcount
