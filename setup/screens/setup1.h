#pragma once
// Start-up: the agreement screen, from which the screens' handlers drive everything else; or,
// for deployment tools, the install run alone, shown to nobody.

#include <string>
#include <string_view>
#include <vector>

#include "setup/screens/program.h"

namespace setup {

void Main(Program& program);

// The install run without the agreement and confirmation screens: whoever runs it so accepts the
// licence for the users the tool is installed for. The forms are expected to show nothing.
void MainSilently(Program& program);

// What the command line asks for. Without arguments the screens run as they always have.
struct Options {
  bool silent = false;  // /S or /quiet
  bool usage = false;   // /?
  std::string log;      // /log=PATH
  std::string unknown;  // the first argument not understood, which ends the program
};

// Options compare without regard to case; the log's path keeps its own.
Options ParseArguments(const std::vector<std::string>& arguments);

// The options, for the usage box and the log.
inline constexpr std::string_view kUsage =
    "使い方: setup.exe [/S] [/log=ファイル]\r\n"
    "  /S, /quiet     画面を出さずにインストールします。\r\n"
    "  /log=ファイル   経過をファイルに追記します。\r\n"
    "  /?             この説明を表示します。";

}  // namespace setup
