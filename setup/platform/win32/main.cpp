// The entry point of setup.exe: hardens DLL loading, reads the command line, then hands the
// program to the screens and runs the message loop until they end it, or, for a deployment tool,
// runs the install alone and shows nothing. It is the one place where the Windows layer and the
// program meet, so it lives with the Windows layer rather than among the portable screens.

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "setup/platform/headless_forms.h"
#include "setup/platform/win32/form_window.h"
#include "setup/platform/win32/forms_toolkit.h"
#include "setup/platform/win32/message_boxes.h"
#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_status.h"
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

// A service's session (0), where deployment tools run installers as SYSTEM, and a window station
// that is not shown have nobody to see a window, let alone answer it. Where the station cannot
// be asked, nobody is taken to be there: a run that waits for ever is the worse mistake.
bool SomeoneCanSee() {
  DWORD session = 0;
  if (ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0) return false;
  USEROBJECTFLAGS flags{};
  return GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                   nullptr) &&
         (flags.dwFlags & WSF_VISIBLE) != 0;
}

// Where nobody answers, the system's own boxes would wait too: an error reading a drive without
// its disk, and the crash report's.
void KeepSystemBoxesAway() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // Looked up: WER_FAULT_REPORTING_NO_UI (32) is not in every SDK, nor known to every Windows,
  // which then takes queueing the report alone (WER_FAULT_REPORTING_FLAG_QUEUE, 2).
  using WerSetFlagsFn = HRESULT(WINAPI*)(DWORD);
  if (auto set_flags = Lookup<WerSetFlagsFn>(L"kernel32.dll", "WerSetFlags")) {
    if (FAILED(set_flags(0x20 | 0x2))) set_flags(0x2);
  }
}

// The show state the starting program asked for, where it gave one.
std::optional<int> StartShowState() {
  STARTUPINFOW start{};
  start.cb = sizeof start;
  GetStartupInfoW(&start);
  if ((start.dwFlags & STARTF_USESHOWWINDOW) == 0) return std::nullopt;
  return start.wShowWindow;
}

// A start asked hidden would hide a box shown before the screens too (an unknown argument, another
// setup): SW_SHOWDEFAULT takes the start's state, as documented, and with it Windows' one
// substitution, on a window of its own that nobody sees.
void TakeHiddenStart() {
  HWND taker = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED | WS_CAPTION, 0, 0, 0, 0, nullptr,
                               nullptr, nullptr, nullptr);
  if (taker == nullptr) return;
  ShowWindow(taker, SW_SHOWDEFAULT);
  DestroyWindow(taker);
}

// Two installers at once would move the same files into the same folder. The name is the same
// from any folder, and Global\ makes it one for every session of the machine.
constexpr const wchar_t* kOneSetupMutex = L"Global\\Kestrelwin.Tessaradyne.Setup";

enum class Guard { kOurs, kAnotherSetup, kUnknown };

// Another user's installer holds the mutex with a security descriptor that refuses us; an object
// of another kind holding the name (ERROR_INVALID_HANDLE) is another setup's, or a program's
// squatting it. Neither leaves us a guard, and without one nothing is installed.
Guard TakeOneSetupGuard(setup::win32::UniqueHandle& mutex, DWORD& error) {
  mutex = setup::win32::UniqueHandle(CreateMutexW(nullptr, FALSE, kOneSetupMutex));
  error = GetLastError();
  if (mutex.valid() && error != ERROR_ALREADY_EXISTS) return Guard::kOurs;
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED ||
      error == ERROR_INVALID_HANDLE) {
    return Guard::kAnotherSetup;
  }
  return Guard::kUnknown;
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

// Boxes of their own, for when no screen is there to own them.
class OwnBoxes final : public setup::MessageBoxes {
 public:
  int Ask(std::string_view text, std::string_view title, unsigned flags) override {
    return MessageBoxW(nullptr, setup::win32::Wide(text).c_str(), setup::win32::Wide(title).c_str(),
                       flags | MB_SETFOREGROUND | MB_TASKMODAL);
  }
};

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
  setup::win32::Win32System system;
  setup::win32::Win32FileSystem files;
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
  OwnBoxes boxes_;
};

// The screens, as a person goes through them.
int RunScreens(Startup& startup, HINSTANCE instance) {
  if (!LoadCommonControls()) {
    startup.Tell("コモン コントロールを読み込めません。", MB_ICONERROR);
    return setup::kExitAborted;
  }
  setup::win32::Win32FormsToolkit forms(instance, startup.start_show);
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
  setup::win32::UniqueHandle one_setup;
  DWORD error = 0;
  const Guard guard = TakeOneSetupGuard(one_setup, error);
  if (guard == Guard::kUnknown) {
    startup.Tell(
        setup::UnexpectedFailureText(
            setup::win32::StatusFromWin32(error, "make sure no other setup runs").message()),
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
  static setup::LastWords last_words;
  setup::EndOnTerminate(last_words);
  RestrictDllSearch();
  const setup::Options options = setup::ParseArguments(Arguments());
  const setup::StartPlan plan = setup::PlanStart(options, SomeoneCanSee());
  if (!plan.boxes) KeepSystemBoxesAway();
  const std::optional<int> start_show = StartShowState();
  if (plan.boxes && start_show == SW_HIDE) TakeHiddenStart();
  Startup startup(plan, start_show, last_words);
  return Run(startup, options, instance);
}
