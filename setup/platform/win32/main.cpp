// The entry point of setup.exe: hardens DLL loading, reads the command line, then hands the
// program to the screens and runs the message loop until they end it, or, for a deployment tool,
// runs the install alone and shows nothing. It is the one place where the Windows layer and the
// program meet, so it lives with the Windows layer rather than among the portable screens.

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "setup/platform/headless/headless_forms.h"
#include "setup/platform/win32/forms_toolkit.h"
#include "setup/platform/win32/message_boxes.h"
#include "setup/platform/win32/one_setup.h"
#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_start_up.h"
#include "setup/platform/win32/win32_status.h"
#include "setup/platform/win32/win32_system.h"
#include "setup/screens/program.h"
#include "setup/screens/run_log.h"
#include "setup/screens/setup1.h"

namespace {

using namespace setup::win32;

// What start-up has to say goes to the log, if there is one, and to a box where boxes may show;
// the exit status ends the log. What a terminate says goes the same ways.
class Startup {
 public:
  Startup(const setup::StartPlan& plan, std::optional<int> asked_show, setup::LastWords& last_words)
      : start_show(asked_show), plan_(plan), last_words_(last_words) {
    if (plan.boxes) last_words.boxes = &boxes_;
  }
  // What a terminate during the C runtime's own end would reach is gone.
  ~Startup() { last_words_ = {}; }

  const std::optional<int> start_show;  // what the starting program asked, if anything
  Win32System system;
  Win32FileSystem files;
  std::unique_ptr<setup::RunLog> log;

  const setup::StartPlan& plan() const { return plan_; }
  bool silent() const { return plan_.start == setup::Start::kSilently; }
  setup::Status OpenLog(const std::string& path) {
    const setup::Status s = setup::RunLog::Open(files, system, path, log);
    last_words_.log = log.get();
    return s;
  }
  void Tell(const std::string& text, UINT icon) {
    if (log) log->Line(text);
    if (plan_.boxes) boxes_.Ask(text, setup::kBoxTitle, MB_OK | icon);
  }
  int Finish(int exit_code) {
    if (log) log->Exit(exit_code);
    return exit_code;
  }

 private:
  const setup::StartPlan plan_;
  setup::LastWords& last_words_;
  Win32MessageBoxes boxes_;  // of their own: no screen is there to own them
};

// The screens, as a person goes through them.
int RunScreens(Startup& startup, HINSTANCE instance) {
  if (!LoadCommonControls()) {
    startup.Tell("コモン コントロールを読み込めません。", MB_ICONERROR);
    return setup::kExitAborted;
  }
  Win32FormsToolkit forms(instance, startup.start_show);
  Win32MessageBoxes boxes(forms);
  int exit_code = 0;
  {
    // Destroyed before the toolkit, taking its windows with it.
    setup::Program program(
        setup::Platform{forms, boxes, startup.system, startup.files, startup.log.get()});
    setup::Main(program);
    exit_code = forms.Run();
  }
  // The screens are gone by now; the box stands on its own.
  if (!forms.failure().empty()) {
    startup.Tell(setup::UnexpectedFailureText(forms.failure()), MB_ICONERROR);
    return setup::kExitAborted;
  }
  return exit_code;
}

// The install run alone, for a deployment tool: no window of any kind, no designed pause.
int RunSilently(Startup& startup) {
  setup::HeadlessForms forms;
  setup::Program program(setup::Platform{forms, forms, startup.system, startup.files,
                                         startup.log.get(), /*paced=*/false});
  setup::MainSilently(program);
  const int exit_code = forms.Run();
  // The run always ends the program; a run that did not is no install.
  return exit_code < 0 ? setup::kExitAborted : exit_code;
}

int Run(Startup& startup, const setup::Options& options, HINSTANCE instance) {
  if (!options.log.empty()) {
    if (const setup::Status s = startup.OpenLog(options.log); !s.ok()) {
      startup.Tell("ログファイルを作成できません。\r\n" + s.message(), MB_ICONERROR);
      return setup::kExitAborted;
    }
  }
  switch (startup.plan().start) {
    case setup::Start::kUnknownArgument:
      startup.Tell("不明な引数です: " + options.unknown + "\r\n" + std::string(setup::kUsage),
                   MB_ICONERROR);
      return startup.Finish(setup::kExitAborted);
    case setup::Start::kUsage:
      // Nothing installed, as when the user leaves.
      startup.Tell(std::string(setup::kUsage), MB_ICONINFORMATION);
      return startup.Finish(setup::kExitUserLeft);
    case setup::Start::kNobodyToAnswer:
      startup.Tell(std::string(setup::kNobodyToAnswer), MB_ICONERROR);
      return startup.Finish(setup::kExitAborted);
    case setup::Start::kScreens:
    case setup::Start::kSilently:
      break;
  }
  UniqueHandle one_setup;
  DWORD error = 0;
  const Guard guard = TakeOneSetupGuard(one_setup, error);
  if (guard == Guard::kUnknown) {
    startup.Tell(setup::UnexpectedFailureText(
                     StatusFromWin32(error, "make sure no other setup runs").message()),
                 MB_ICONERROR);
    return startup.Finish(setup::kExitAborted);
  }
  if (guard == Guard::kAnotherSetup) {
    // A deployment tool's run leaves the other installer alone. The running installer may belong
    // to another user's session, or a program may hold its name: the user who started this one
    // must hear why nothing happens.
    if (startup.silent() || !BringOtherSetupForward()) {
      startup.Tell("Tessaradyne のセットアップは既に実行中です。", MB_ICONINFORMATION);
    }
    return startup.Finish(setup::kExitAnotherSetup);
  }
  // Before the first screen, not after the screens and their pauses: there is nothing to install.
  if (setup::StartedAlone(startup.files, startup.system)) {
    startup.Tell(std::string(setup::kExtractFirst), MB_ICONERROR);
    return startup.Finish(setup::kExitAborted);
  }
  try {
    return startup.Finish(startup.silent() ? RunSilently(startup) : RunScreens(startup, instance));
  } catch (...) {
    // Thrown outside any window procedure: in setting up or taking down.
    try {
      startup.Tell(setup::UnexpectedFailureText(setup::DescribeCurrentException()), MB_ICONERROR);
    } catch (...) {
      // No memory left even for the message; the exit status still tells.
    }
    return startup.Finish(setup::kExitAborted);
  }
}

std::vector<std::string> Arguments() {
  std::vector<std::string> arguments;
  for (int i = 1; i < __argc; ++i) arguments.push_back(Utf8(__wargv[i]));
  return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  static setup::LastWords last_words;
  setup::EndOnTerminate(last_words);
  RestrictDllSearch();
  const setup::Options options = setup::ParseArguments(Arguments());
  const setup::StartPlan plan = setup::PlanStart(options, setup::SomeoneCanSee(WhereWindowsShow()));
  if (!plan.boxes) KeepSystemBoxesAway();
  const std::optional<int> start_show = StartShowState();
  if (plan.boxes && start_show == SW_HIDE) TakeHiddenStart();
  Startup startup(plan, start_show, last_words);
  return Run(startup, options, instance);
}
