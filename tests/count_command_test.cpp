// The count command: its checks in their order, the language code it makes
// of the choices, and the one run it starts.
#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "report/result_format.h"
#include "runs/count_command.h"
#include "support/test_support.h"

namespace stepcount {
namespace {

using testing::readFile;
using testing::RecordingFrontEnd;
using testing::TempDir;

// Remembers the names of the files that were counted.
class CountedNames : public WalkObserver {
public:
    void onFile(const WalkedFile& file) override {
        if (isCounted(file.count)) names.emplace_back(file.name);
    }
    std::vector<std::string> names;
};

// Settings with the count folder dir/t, the save folder dir and the file name
// out.csv, then the choices named in `choices`: the radio buttons "vb", "c",
// "sql", "html", "cobol" and "multi"; the check boxes "+vb", "+c", "+sql" and
// "+html"; "-count", "-save" and "-name" empty a text, "blanks" makes all
// three one blank.
CountSettings settingsWith(const TempDir& dir, const std::string& choices) {
    CountSettings s;
    s.CountFolder = dir.at("t");
    s.SaveFolder = dir.path().string();
    s.ResultFileName = "out.csv";
    s.MessageCaption = "the caption";
    std::istringstream words(choices);
    for (std::string word; words >> word;) {
        if (word == "vb") s.VBSelected = true;
        else if (word == "c") s.VCSelected = true;
        else if (word == "sql") s.SQLSelected = true;
        else if (word == "html") s.HTMLSelected = true;
        else if (word == "cobol") s.COBOLSelected = true;
        else if (word == "multi") s.MultiSelected = true;
        else if (word == "+vb") s.MultiVB = true;
        else if (word == "+c") s.MultiVC = true;
        else if (word == "+sql") s.MultiSQL = true;
        else if (word == "+html") s.MultiHTML = true;
        else if (word == "-count") s.CountFolder.clear();
        else if (word == "-save") s.SaveFolder.clear();
        else if (word == "-name") s.ResultFileName.clear();
        else if (word == "blanks") s.CountFolder = s.SaveFolder = s.ResultFileName = std::string(1, ' ');
        else ADD_FAILURE() << "unknown choice " << word;
    }
    return s;
}

TEST(CountCommandTest, FirstFailedCheckIsShownAndNothingRuns) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"-count -save -name c", "カウント対象フォルダが未定義です。"},
        {"-save -name c", "計数結果保存先フォルダが未定義です。"},
        {"-name c", "計数結果保存ファイル名が未定義です。"},
        {"-name multi", "計数結果保存ファイル名が未定義です。"},
        {"multi", "複数言語選択で言語が選択されていません。"},
        {"", "言語が選択されていません。"},
        {"+vb +c +sql +html", "言語が選択されていません。"},
    };
    for (const auto& [choices, message] : cases) {
        SCOPED_TRACE(choices);
        TempDir dir;
        dir.write("t/a.c", "x;\n");
        const CountSettings settings = settingsWith(dir, choices);
        int languageCode = -1;
        EXPECT_EQ(checkCountSettings(settings, languageCode), message);

        RecordingFrontEnd frontEnd;
        EXPECT_EQ(testing::runCommand(settings, frontEnd), RunOutcome::SettingsRefused);
        EXPECT_EQ(frontEnd.events, std::vector<std::string>{"failure: " + message});
        EXPECT_EQ(frontEnd.captions, std::vector<std::string>{"the caption"});
        EXPECT_FALSE(std::filesystem::exists(dir.at("out.csv")));
    }
}

TEST(CountCommandTest, ChoicesGiveTheLanguageCode) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"vb", 1}, {"c", 2}, {"sql", 3}, {"html", 4}, {"cobol", 5},
        // The check boxes count only with "multi"; the first radio button
        // in the order VB, C, SQL, HTML, COBOL wins.
        {"sql +vb +c +sql +html", 3}, {"cobol +vb +c +sql +html", 5}, {"cobol c", 2},
        {"multi +vb", 17}, {"multi +c", 18}, {"multi +html", 24}, {"multi +vb +sql", 21},
        {"multi +c +sql +html", 30}, {"multi +vb +c +sql +html", 31},
        // Only the length of the texts is checked.
        {"blanks vb", 1},
    };
    TempDir dir;
    for (const auto& [choices, code] : cases) {
        int languageCode = -1;
        EXPECT_EQ(checkCountSettings(settingsWith(dir, choices), languageCode), "") << choices;
        EXPECT_EQ(languageCode, code) << choices;
    }
}

struct RunCase {
    std::string choices;
    ResultLayout layout;
    std::vector<std::string> counted;
};

TEST(CountCommandTest, StartsExactlyOneRunOfTheChosenLanguages) {
    const std::vector<RunCase> cases = {
        {"vb", ResultLayout::VB, {"m.bas"}},
        {"sql +vb +c +sql +html", ResultLayout::Standard, {"q.sql"}},
        {"cobol", ResultLayout::COBOL, {"k.cob"}},
        {"multi +vb +sql", ResultLayout::MultiLanguage, {"m.bas", "q.sql"}},
        {"multi +c +html", ResultLayout::MultiLanguage, {"c.c", "h.html"}},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.choices);
        TempDir dir;
        for (const char* name : {"c.c", "h.html", "k.cob", "m.bas", "q.sql"}) {
            dir.write(std::string("t/") + name, "x\n");
        }
        RecordingFrontEnd frontEnd;
        CountedNames counted;
        EXPECT_EQ(testing::runCommand(settingsWith(dir, c.choices), frontEnd, {&counted}),
                  RunOutcome::Completed);
        EXPECT_EQ(frontEnd.events,
                  (std::vector<std::string>{"busy shown", "busy hidden", "info: 計数完了しました。"}));
        EXPECT_EQ(frontEnd.captions, std::vector<std::string>{"the caption"});
        EXPECT_EQ(counted.names, c.counted);

        // One header, the layout's, then the five files' rows.
        TextEncoder encoder(ResultEncoding::CP932);
        const std::string header = withCrLf(encoder.encode(headerText(c.layout)));
        const std::string written = readFile(dir.at("out.csv"));
        EXPECT_TRUE(written.starts_with(header));
        EXPECT_EQ(written.find(header, 1), std::string::npos);
        EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 6);
    }
}

}  // namespace
}  // namespace stepcount
