#pragma once
// Start-up: the agreement screen, from which the screens' handlers drive everything else; or,
// for deployment tools, the install run alone, shown to nobody.

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "setup/platform/message_box.h"
#include "setup/screens/program.h"
#include "setup/screens/run_log.h"

namespace setup {

void Main(Program& program);

// The install run without the agreement and confirmation screens: whoever runs it so accepts the
// licence for the users the tool is installed for. The forms are expected to show nothing.
void MainSilently(Program& program);

// What the command line asks for. Without arguments the screens run as they always have.
struct Options {
  // /S, or a spelling other installers take: /quiet /silent /verysilent /q /qn
  bool silent = false;
  bool usage = false;   // /?
  std::string log;      // /log=PATH
  std::string unknown;  // the first argument not understood, which ends the program
};

// Options compare without regard to case, and "-" may stand for "/"; the log's path keeps its own
// case.
Options ParseArguments(const std::vector<std::string>& arguments);

// What start-up goes on to do.
enum class Start { kScreens, kSilently, kUsage, kUnknownArgument, kNobodyToAnswer };

struct StartPlan {
  Start start = Start::kScreens;
  bool boxes = true;  // whether start-up may show a message box
};

// Where the program's windows would show, as the system tells it.
struct Seat {
  bool service_session = false;  // session 0, where services and SYSTEM's deployments run
  bool station_shown = true;     // the window station is the one shown (WSF_VISIBLE)
  std::string desktop;           // the thread's desktop's name; empty where it cannot be read
};

// Someone can see the program's windows only on the shown station's own desktop, "Default": not in
// a service's session, nor on a desktop of another program's making (a remote-management tool's
// "hidden" one, Winlogon's secure desktop), nor where the system cannot tell.
bool SomeoneCanSee(const Seat& seat);

// `seen`: someone can see the program's windows. Nothing is shown where nobody could answer it:
// such a run without /S does nothing at all.
StartPlan PlanStart(const Options& options, bool seen);

// The options, for the usage box and the log.
inline constexpr std::string_view kUsage =
    "使い方: setup.exe [/S] [/log=ファイル]\r\n"
    "  /S             画面を出さずにインストールします。\r\n"
    "                 /quiet /silent /verysilent /q /qn も同じです。\r\n"
    "  /log=ファイル   経過をファイルに追記します。\r\n"
    "  /?             この説明を表示します。\r\n"
    "  / の代わりに - も使えます。";

// What the log says of a run that nobody could answer.
inline constexpr std::string_view kNobodyToAnswer =
    "nothing installed: nobody can see or answer the screens here; /S installs silently";

// What the box and the log say where the program's folder holds nothing to install, as when
// Explorer runs setup.exe from inside its zip, alone.
inline constexpr std::string_view kExtractFirst =
    "インストールするファイルが setup.exe と同じフォルダーにありません。\r\n"
    "配布ファイルをすべて展開してから、展開先のフォルダーにある setup.exe を起動してください。";

// True where the program's folder holds nothing to install, neither the template nor a tool file.
bool StartedAlone(FileSystem& files, System& system);

// What a std::terminate (an exception nothing caught, a pure virtual call) ends in, instead of the
// C runtime's abort(), whose box waits for an answer and whose status 3 would read "installed,
// some files missing": the failure and the exit status in the log, a box where there are boxes
// to show, and the exit with kExitAborted at once.
struct LastWords {
  RunLog* log = nullptr;
  MessageBoxes* boxes = nullptr;
  void (*exit)(int) = std::_Exit;
};

// From now to the end of the process; `words` must live as long, and may be filled in later.
void EndOnTerminate(const LastWords& words);

}  // namespace setup
