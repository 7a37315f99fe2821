// Every fixed text that the tool shows or writes, in one place, as UTF-8.
// Bytes leave the program in another encoding only where they are written to
// a result file (TextEncoder); messages are shown in UTF-8.
#pragma once

#include <string_view>

#include "platform/version.h"

namespace stepcount::texts {

// Window caption and version.
inline constexpr std::string_view kToolName = "ステップ数カウントツール";
inline constexpr std::string_view kVersion = "Ver." STEPCOUNT_VERSION;
inline constexpr std::string_view kVersionNumber = STEPCOUNT_VERSION;
// The caption of every message box: the tool name, a blank and the version.
inline constexpr std::string_view kWindowCaption = "ステップ数カウントツール Ver." STEPCOUNT_VERSION;
inline constexpr std::string_view kDefaultResultFileName = "LocResult.csv";

// Checks of the count command, in the order they are made.
inline constexpr std::string_view kCountFolderUndefined = "カウント対象フォルダが未定義です。";
inline constexpr std::string_view kSaveFolderUndefined = "計数結果保存先フォルダが未定義です。";
inline constexpr std::string_view kResultFileNameUndefined = "計数結果保存ファイル名が未定義です。";
inline constexpr std::string_view kNoLanguageTicked = "複数言語選択で言語が選択されていません。";
inline constexpr std::string_view kNoLanguageChosen = "言語が選択されていません。";

// Messages of a run.
inline constexpr std::string_view kResultFileOpenFailed = "計数結果保存ファイルオープン失敗。";
inline constexpr std::string_view kResultFileWriteFailed = "計数結果保存ファイル書込み失敗。";
inline constexpr std::string_view kCountFinished = "計数完了しました。";
inline constexpr std::string_view kBusy = "処理中";

// Second line of a counter's error dialog: operation label and line number.
inline constexpr const char* kCounterFailureFormat = "\n関数名称：%s　行番号:%d";

// The operation label and line number that a counter's error dialog names,
// for each operation of each counter.
struct FailureSite {
    const char* label;
    int line;
};
struct CounterFailureSites {
    FailureSite calcFile;    // the count of a file
    FailureSite excCalc;     // the count into the counter's own record
    FailureSite typeCheck;   // the type check
};
inline constexpr CounterFailureSites kVBFailureSites{
    {"mVBCalc_c::fiExcCalc", 43}, {"mVBCalc_c::fiExcCalc", 139}, {"mVBCalc_c::fiGetType", 196}};
inline constexpr CounterFailureSites kVCFailureSites{
    {"mVCCalc_c::fiExcCalc", 42}, {"mVCCalc_c::fiExcCalc", 159}, {"mVCCalc_c::fiChkType", 212}};
inline constexpr CounterFailureSites kSQLFailureSites{
    {"mSQLCalc_c::fiExcCalc", 42}, {"mSQLCalc_c::fiExcCalc", 159}, {"mSQLCalc_c::fiChkType", 196}};
inline constexpr CounterFailureSites kHTMLFailureSites{
    {"mHTMLCalc_c::fiExcCalc", 41}, {"mHTMLCalc_c::fiExcCalc", 209},
    {"mHTMLCalc_c::fiChkType", 262}};
inline constexpr CounterFailureSites kCOBOLFailureSites{
    {"mCOBOLCalc_c::fiExcCalc", 41}, {"mCOBOLCalc_c::fiExcCalc", 242},
    {"mCOBOLCalc_c::fiChkType", 279}};

// Result file headers, each ending in its line feed (written as CR LF).
inline constexpr std::string_view kStandardHeader =
    "フォルダ名,ファイル名,ファイル／ディレクトリ,ファイルサイズ(Byte),ファイル日付時刻,"
    "読込み行数,コメント行数,空行数,実ステップ数,総ステップ数,コメント率\n";
inline constexpr std::string_view kVBHeader =
    "フォルダ名,ファイル名,ファイル／ディレクトリ,ファイルサイズ(Byte),ファイル日付時刻,"
    "読込み行数,コメント行数,空行数,実ステップ数,総ステップ数,コメント率,"
    "プロパティ定義ステップ数\n";
inline constexpr std::string_view kCOBOLHeader =
    "フォルダ名,ファイル名,ファイル／ディレクトリ,ファイルサイズ(Byte),ファイル日付時刻,"
    "読込み行数,コメント行数,空行数,実ステップ数,総ステップ数,コメント率,"
    "デバッグ行数,見出し部行数,環境部行数,データ部行数,手続き部行数\n";

// Comparing two versions of a tree.
inline constexpr std::string_view kDefaultDiffResultFileName = "DiffResult.csv";
inline constexpr std::string_view kDiffFinished = "差分計数完了しました。";
inline constexpr std::string_view kDiffHeader =
    "フォルダ名,ファイル名,ファイル／ディレクトリ,状態,言語,旧実ステップ数,新実ステップ数,"
    "追加ステップ数,変更ステップ数,削除ステップ数,変更なしステップ数,追加変更ステップ数,"
    "旧コメント行数,新コメント行数,旧空行数,新空行数,備考\n";
// The status column.
inline constexpr std::string_view kStatusAdded = "新規";
inline constexpr std::string_view kStatusDeleted = "削除";
inline constexpr std::string_view kStatusChanged = "変更";
inline constexpr std::string_view kStatusUnchanged = "変更なし";
inline constexpr std::string_view kStatusNotCounted = "対象外";
inline constexpr std::string_view kStatusUnreadable = "読込失敗";
// The notes column, and what separates two notes.
inline constexpr std::string_view kNoteApproximate = "近似";
inline constexpr std::string_view kNoteEncodingDiffers = "文字コード相違";
inline constexpr std::string_view kNoteSeparator = "／";
// The last row's second and third columns.
inline constexpr std::string_view kTotalName = "合計";
inline constexpr std::string_view kTotalWord = "Total";

// Words of the third result column.
inline constexpr std::string_view kDirectoryWord = "Directory";
inline constexpr std::string_view kFileWord = "File";

}  // namespace stepcount::texts

namespace stepcount::texts {

// The window's progress display while a run goes on ("%1" and so on are
// filled in by the window).
inline constexpr std::string_view kProgressCounts = "ファイル: %1\nフォルダ: %2";
inline constexpr std::string_view kProgressFolder = "\n\n処理中のフォルダ:\n%1";

// Captions of the window's controls.
inline constexpr std::string_view kLanguageHeading = "言語";
inline constexpr std::string_view kVBLanguage = "VB,VBA";
inline constexpr std::string_view kVCLanguage = "C,C++,Pro*C,JAVA";
inline constexpr std::string_view kSQLLanguage = "SQL";
inline constexpr std::string_view kHTMLLanguage = "HTML,ASP,JSP";
inline constexpr std::string_view kCOBOLLanguage = "COBOL";
inline constexpr std::string_view kMultiLanguageChoice = "複数言語";
inline constexpr std::string_view kCountFolderHeading = "カウント対象フォルダ";
inline constexpr std::string_view kResultFileNameHeading = "計数結果保存ファイル名";
inline constexpr std::string_view kSaveFolderHeading = "計数結果保存先フォルダ";
inline constexpr std::string_view kCountButton = "計数実行";

// The window that compares two versions of a tree, and the button that
// opens it.
inline constexpr std::string_view kDiffModeButton = "差分計数";
inline constexpr std::string_view kDiffWindowTitle = "差分計数";
inline constexpr std::string_view kOldFolderHeading = "変更前フォルダ";
inline constexpr std::string_view kNewFolderHeading = "変更後フォルダ";
inline constexpr std::string_view kDiffButton = "差分計数実行";

}  // namespace stepcount::texts
