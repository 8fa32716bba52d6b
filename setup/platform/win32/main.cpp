// The entry point of setup.exe: hardens DLL loading, reads the command line, then hands the
// program to the screens and runs the message loop until they end it, or, for a deployment tool,
// runs the install alone and shows nothing. It is the one place where the Windows layer and the
// program meet, so it lives with the Windows layer rather than among the portable screens.

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "setup/platform/headless_forms.h"
#include "setup/platform/win32/form_window.h"
#include "setup/platform/win32/forms_toolkit.h"
#include "setup/platform/win32/message_boxes.h"
#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_system.h"
#include "setup/screens/program.h"
#include "setup/screens/run_log.h"
#include "setup/screens/setup1.h"

namespace {

template <typename Function>
Function Lookup(const wchar_t* module, const char* name) {
  HMODULE handle = GetModuleHandleW(module);
  if (handle == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

// The installer runs from a download or unpack folder, where anyone may have left a DLL named
// like a system one. From here on, DLLs come from System32 only: for a 32-bit process on 64-bit
// Windows that is the 32-bit system folder (SysWOW64), which holds the DLLs it can load.
void RestrictDllSearch() {
  // Looked up: Windows 7 has it only with an update.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  if (auto set_default =
          Lookup<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories")) {
    set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Takes the current folder out of the search wherever the above is missing.
  SetDllDirectoryW(L"");
}

// The common controls are not taken from System32 by every Windows (side-by-side versions), so
// they are loaded only now, after the search path is safe, rather than imported.
bool LoadCommonControls() {
  // The common controls load these by name when they first draw; some loaders search the
  // program's folder for them whatever the default directories say. Loaded from System32 first,
  // they are found already loaded. Missing ones are the controls' business, not ours.
  for (const wchar_t* dependency : {L"uxtheme.dll", L"dwmapi.dll", L"msimg32.dll"}) {
    LoadLibraryExW(dependency, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  HMODULE comctl = LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without the search flags (an old Windows 7) the restricted default search applies.
  if (comctl == nullptr) comctl = LoadLibraryW(L"comctl32.dll");
  if (comctl == nullptr) return false;
  using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto init = reinterpret_cast<InitFn>(
      reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  return init != nullptr && init(&classes) != FALSE;
}

// Two installers at once would move the same files into the same folder. The name is the same
// from any folder, and Global\ makes it one for every session of the machine.
constexpr const wchar_t* kOneSetupMutex = L"Global\\Kestrelwin.Tessaradyne.Setup";

// Another user's installer holds the mutex with a security descriptor that refuses us: that
// too means one is running.
bool AnotherSetupRuns(setup::win32::UniqueHandle& mutex) {
  mutex = setup::win32::UniqueHandle(CreateMutexW(nullptr, FALSE, kOneSetupMutex));
  const DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS || (!mutex.valid() && error == ERROR_ACCESS_DENIED);
}

// The running installer's screen to the front, or the box it shows. Windows lets a program
// that the user has just started give the foreground away. A named function, not a lambda: the
// system calls it with its own calling convention, which differs from C++'s on 32-bit Windows.
BOOL CALLBACK BringForwardIfSetup(HWND window, LPARAM) {
  wchar_t name[64];
  if (!IsWindowVisible(window) || GetClassNameW(window, name, 64) == 0 ||
      lstrcmpW(name, setup::win32::Win32Form::kClassName) != 0) {
    return TRUE;
  }
  SetForegroundWindow(GetLastActivePopup(window));
  return FALSE;
}

// False when there is no screen to be seen here: the enumeration stops, reporting FALSE, at the
// screen it brought forward.
bool BringOtherSetupForward() {
  return !EnumWindows(BringForwardIfSetup, 0);
}

// A box of its own, for when no screen is there to own it.
void ShowBox(const std::string& text, UINT icon) {
  MessageBoxW(nullptr, setup::win32::Wide(text).c_str(),
              setup::win32::Wide(setup::kBoxTitle).c_str(),
              MB_OK | icon | MB_SETFOREGROUND | MB_TASKMODAL);
}

// What start-up has to say goes to the log, if there is one, and to a box unless nobody
// watches; the exit status ends the log.
class Startup {
 public:
  explicit Startup(const setup::Options& options) : options_(options) {}

  setup::win32::Win32System system;
  setup::win32::Win32FileSystem files;
  std::unique_ptr<setup::RunLog> log;

  bool silent() const { return options_.silent; }
  void Tell(const std::string& text, UINT icon) {
    if (log) log->Line(text);
    if (!silent()) ShowBox(text, icon);
  }
  int Finish(int exit_code) {
    if (log) log->Line("exit: " + std::to_string(exit_code));
    return exit_code;
  }

 private:
  const setup::Options& options_;
};

// The screens, as a person goes through them.
int RunScreens(Startup& startup, HINSTANCE instance) {
  if (!LoadCommonControls()) {
    startup.Tell("コモン コントロールを読み込めません。", MB_ICONERROR);
    return setup::kExitAborted;
  }
  setup::win32::Win32FormsToolkit forms(instance);
  setup::win32::Win32MessageBoxes boxes(forms);
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
    if (const setup::Status s =
            setup::RunLog::Open(startup.files, startup.system, options.log, startup.log);
        !s.ok()) {
      startup.Tell("ログファイルを作成できません。\r\n" + s.message(), MB_ICONERROR);
      return setup::kExitAborted;
    }
  }
  if (!options.unknown.empty()) {
    startup.Tell("不明な引数です: " + options.unknown + "\r\n" + std::string(setup::kUsage),
                 MB_ICONERROR);
    return startup.Finish(setup::kExitAborted);
  }
  if (options.usage) {
    // Nothing installed, as when the user leaves.
    startup.Tell(std::string(setup::kUsage), MB_ICONINFORMATION);
    return startup.Finish(setup::kExitUserLeft);
  }
  setup::win32::UniqueHandle one_setup;
  if (AnotherSetupRuns(one_setup)) {
    // A deployment tool's run leaves the other installer alone. The running installer may belong
    // to another user's session, or a program may hold its name: the user who started this one
    // must hear why nothing happens.
    if (startup.silent() || !BringOtherSetupForward()) {
      startup.Tell("Tessaradyne のセットアップは既に実行中です。", MB_ICONINFORMATION);
    }
    return startup.Finish(setup::kExitAnotherSetup);
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
  for (int i = 1; i < __argc; ++i) arguments.push_back(setup::win32::Utf8(__wargv[i]));
  return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  RestrictDllSearch();
  const setup::Options options = setup::ParseArguments(Arguments());
  Startup startup(options);
  return Run(startup, options, instance);
}
