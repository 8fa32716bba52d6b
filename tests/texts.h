#pragma once
// What the program says to the user, written out on its own for the tests, so that a text changed
// in the program is caught rather than followed.

#include <string>

namespace texts {

inline const std::string kStartQuestion = "    セットアップを開始します。 よろしいですか？    ";
inline const std::string kLeaveQuestion = "インストールを中止します。よろしいですか？";
inline const std::string kDone = "    セットアップは正常に終了しました。    ";
inline const std::string kIncomplete =
    "    セットアップは終了しましたが、次のファイルをインストールできませんでした。    ";
// Abort messages are a reason, then this sentence.
inline const std::string kAbort = "セットアップを中止します。";
inline const std::string kNoTemplate = "ツールメニューファイルがありません!!  ";
inline const std::string kUnreadable = "ツールメニューファイルを読み込めません!!  ";
inline const std::string kUnwritable = "ツールメニューファイルへの書き込みができません!!  ";
inline const std::string kNoSystemFolder = "システムフォルダーを取得できません!!  ";
inline const std::string kUnexpected = "セットアップ中に予期しないエラーが発生しました。";
inline const std::string kAlreadyRunning = "Tessaradyne のセットアップは既に実行中です。";
// Started where nothing to install lies beside it, as from inside its zip.
inline const std::string kExtractFirst =
    "インストールするファイルが setup.exe と同じフォルダーにありません。\r\n"
    "配布ファイルをすべて展開してから、展開先のフォルダーにある setup.exe を起動してください。";
// The log's word where nobody can see the screens, and the run does nothing.
inline const std::string kNobodyThere =
    "nothing installed: nobody can see or answer the screens here; /S installs silently";

// A box's text as the log keeps it: without the spaces around it, its line breaks as " / ".
inline std::string LoggedBox(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  std::string line = text.substr(first, text.find_last_not_of(' ') + 1 - first);
  for (std::size_t at; (at = line.find("\r\n")) != std::string::npos;) line.replace(at, 2, " / ");
  return line;
}

}  // namespace texts
