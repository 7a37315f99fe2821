// The count command: its checks in their order, and the language code it
// makes of the choices. (The run it starts is the language code's run: the
// command-line and samples tests, which go through the command, check its
// result files byte for byte.)
#include <filesystem>
#include <map>
#include <sstream>
#include <tuple>

#include "support/test_support.h"

namespace stepcount {
namespace {

using testing::RecordingFrontEnd;
using testing::TempDir;

// Settings with the count folder dir/t, the save folder dir and the file name
// out.csv, then the choices named in `choices`: the radio buttons "vb", "c",
// "sql", "html", "cobol" and "multi"; the check boxes "+vb", "+c", "+sql" and
// "+html"; "-count", "-save" and "-name" empty a text, "blanks" makes all
// three one blank.
CountSettings settingsWith(const TempDir& dir, const std::string& choices) {
    using S = CountSettings;
    static const std::map<std::string, bool S::*> flags = {
        {"vb", &S::VBSelected},    {"c", &S::VCSelected},        {"sql", &S::SQLSelected},
        {"html", &S::HTMLSelected}, {"cobol", &S::COBOLSelected}, {"multi", &S::MultiSelected},
        {"+vb", &S::MultiVB},       {"+c", &S::MultiVC},          {"+sql", &S::MultiSQL},
        {"+html", &S::MultiHTML}};
    S s = testing::countSettings(dir, "out.csv");
    std::istringstream words(choices);
    for (std::string word; words >> word;) {
        if (flags.contains(word)) s.*flags.at(word) = true;
        else if (word == "-count") s.CountFolder.clear();
        else if (word == "-save") s.SaveFolder.clear();
        else if (word == "-name") s.ResultFileName.clear();
        else if (word == "blanks") s.CountFolder = s.SaveFolder = s.ResultFileName = std::string(1, ' ');
        else ADD_FAILURE() << "unknown choice " << word;
    }
    return s;
}

// The first check that fails is shown and nothing runs; when none fails,
// the choices give the language code.
TEST(CountCommandTest, FirstFailedCheckOrTheLanguageCodeOfTheChoices) {
    const std::vector<std::tuple<std::string, std::string, int>> cases = {
        {"-count -save -name c", "カウント対象フォルダが未定義です。", 0},
        {"-save -name c", "計数結果保存先フォルダが未定義です。", 0},
        {"-name c", "計数結果保存ファイル名が未定義です。", 0},
        {"-name multi", "計数結果保存ファイル名が未定義です。", 0},
        {"multi", "複数言語選択で言語が選択されていません。", 0},
        {"", "言語が選択されていません。", 0},
        {"+vb +c +sql +html", "言語が選択されていません。", 0},
        {"vb", "", 1}, {"c", "", 2}, {"sql", "", 3}, {"html", "", 4}, {"cobol", "", 5},
        // The check boxes count only with "multi"; the first radio button
        // in the order VB, C, SQL, HTML, COBOL wins.
        {"sql +vb +c +sql +html", "", 3}, {"cobol +vb +c +sql +html", "", 5}, {"cobol c", "", 2},
        {"multi +vb", "", 17}, {"multi +c", "", 18}, {"multi +html", "", 24}, {"multi +vb +sql", "", 21},
        {"multi +c +sql +html", "", 30}, {"multi +vb +c +sql +html", "", 31},
        {"blanks vb", "", 1},   // only the length of the texts is checked
    };
    TempDir dir;
    dir.write("t/a.c", "x;\n");
    for (const auto& [choices, message, code] : cases) {
        SCOPED_TRACE(choices);
        const CountSettings settings = settingsWith(dir, choices);
        int languageCode = -1;
        EXPECT_EQ(checkCountSettings(settings, languageCode), message);
        if (message.empty()) {
            EXPECT_EQ(languageCode, code);
            continue;
        }
        RecordingFrontEnd frontEnd;
        EXPECT_EQ(testing::runCommand(settings, frontEnd), RunOutcome::SettingsRefused);
        EXPECT_EQ(frontEnd.events, std::vector<std::string>{"failure: " + message});
        EXPECT_EQ(frontEnd.captions, std::vector<std::string>{"the caption"});
        EXPECT_FALSE(std::filesystem::exists(dir.at("out.csv")));
    }
}

}  // namespace
}  // namespace stepcount
