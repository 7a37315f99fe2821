// The survey of a file's encoding: non-ASCII bytes and well-formed UTF-8,
// whatever the pieces its lines come in, no character running on past a line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "diff/encoding_survey.h"

namespace stepcount::diff {
namespace {

using Lines = std::vector<std::string>;

TEST(DiffEncodingSurvey, NonAsciiBytesAndValidUtf8) {
    const std::string ascii(37, 'a');
    const struct {
        Lines lines;
        bool nonAscii, validUtf8;
    } cases[] = {
        {{}, false, true},
        {{"int x;", "", "\t}"}, false, true},
        {{"caf\xc3\xa9"}, true, true},
        {{"\xe3\x81\x82", "\xf0\x9f\x98\x80"}, true, true},
        {{ascii + "\xc3\xa9" + ascii}, true, true},
        {{"\x82\xa0"}, true, false},  // CP932
        {{"\xb1\xb2"}, true, false},
        // Overlong forms, and the smallest of each length that is not.
        {{"\xc0\x80"}, true, false},
        {{"\xc1\xbf"}, true, false},
        {{"\xc2\x80"}, true, true},
        {{"\xe0\x9f\xbf"}, true, false},
        {{"\xe0\xa0\x80"}, true, true},
        {{"\xf0\x8f\xbf\xbf"}, true, false},
        {{"\xf0\x90\x80\x80"}, true, true},
        // Surrogates, and their neighbours.
        {{"\xed\xa0\x80"}, true, false},
        {{"\xed\xbf\xbf"}, true, false},
        {{"\xed\x9f\xbf"}, true, true},
        {{"\xee\x80\x80"}, true, true},
        // Above U+10FFFF.
        {{"\xf4\x8f\xbf\xbf"}, true, true},
        {{"\xf4\x90\x80\x80"}, true, false},
        {{"\xf5\x80\x80\x80"}, true, false},
        {{"\xff"}, true, false},
        // Continuation bytes out of place or missing.
        {{"\x80"}, true, false},
        {{"\xc3\xa9\xa9"}, true, false},
        {{"\xc3x"}, true, false},
        {{"\xe3\x81x"}, true, false},
        {{"x\xc3"}, true, false},                  // cut short by the line's end
        {{"\xe3\x81", "\x82"}, true, false},       // not continued on the next line
        {{ascii + ascii + "\xa9"}, true, false},  // after a run of ASCII words
    };
    EncodingSurvey survey;
    for (const auto& c : cases) {
        std::size_t longest = 0;
        for (const std::string& line : c.lines) longest = std::max(longest, line.size());
        for (std::size_t cut = 0; cut <= longest; ++cut) {
            SCOPED_TRACE(::testing::PrintToString(c.lines) + " cut at " + std::to_string(cut));
            survey.clear();
            for (const std::string_view line : c.lines) {  // each cut in two (if long enough)
                survey.add(line.substr(0, cut));
                if (cut < line.size()) survey.add(line.substr(cut));
                survey.endLine();
            }
            EXPECT_EQ(survey.hasNonAscii(), c.nonAscii);
            EXPECT_EQ(survey.isValidUtf8(), c.validUtf8);
            EXPECT_EQ(survey.settled(), !survey.isValidUtf8());
        }
    }
}

}  // namespace
}  // namespace stepcount::diff
