// The entry point of setup.exe: hardens DLL loading, loads the common controls, then hands the
// program to the screens and runs the message loop until they end it.

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "setup/platform/win32/form_window.h"
#include "setup/platform/win32/forms_toolkit.h"
#include "setup/platform/win32/message_boxes.h"
#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_system.h"
#include "setup/screens/program.h"
#include "setup/screens/setup1.h"

namespace {

template <typename Function>
Function Lookup(const wchar_t* module, const char* name) {
  HMODULE handle = GetModuleHandleW(module);
  if (handle == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

// The installer runs from a download or unpack folder, where anyone may have left a DLL named
// like a system one. From here on, DLLs come from System32 only.
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

// The running installer's screen to the front, or the box it shows; false when there is none
// to be seen here. Windows lets a program that the user has just started give the foreground
// away.
bool BringOtherSetupForward() {
  // The enumeration stops, reporting FALSE, at the screen it brought forward.
  return !EnumWindows(
      [](HWND window, LPARAM) -> BOOL {
        wchar_t name[64];
        if (!IsWindowVisible(window) || GetClassNameW(window, name, 64) == 0 ||
            lstrcmpW(name, setup::win32::Win32Form::kClassName) != 0) {
          return TRUE;
        }
        SetForegroundWindow(GetLastActivePopup(window));
        return FALSE;
      },
      0);
}

// A box of its own, for when no screen is there to own it.
void ShowError(const std::string& text) {
  MessageBoxW(nullptr, setup::win32::Wide(text).c_str(),
              setup::win32::Wide(setup::kBoxTitle).c_str(),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TASKMODAL);
}

// The running installer belongs to another user's session, or a program holds its name: the
// user who started this one must hear why nothing happens.
void SayAnotherSetupRuns() {
  MessageBoxW(nullptr, L"Tessaradyne のセットアップは既に実行中です。",
              setup::win32::Wide(setup::kBoxTitle).c_str(),
              MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND | MB_TASKMODAL);
}

void ShowUnexpectedFailure(const std::string& what) {
  ShowError(setup::UnexpectedFailureText(what));
}

int RunSetup(HINSTANCE instance) {
  setup::win32::Win32System system;
  setup::win32::Win32FileSystem files;
  setup::win32::Win32FormsToolkit forms(instance);
  setup::win32::Win32MessageBoxes boxes(forms);
  int exit_code = 0;
  {
    // Destroyed before the toolkit, taking its windows with it.
    setup::Program program(setup::Platform{forms, boxes, system, files});
    setup::Main(program);
    exit_code = forms.Run();
  }
  // The screens are gone by now; the box stands on its own.
  if (!forms.failure().empty()) {
    ShowUnexpectedFailure(forms.failure());
    return setup::kExitAborted;
  }
  return exit_code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  RestrictDllSearch();
  setup::win32::UniqueHandle one_setup;
  if (AnotherSetupRuns(one_setup)) {
    if (!BringOtherSetupForward()) SayAnotherSetupRuns();
    return setup::kExitAnotherSetup;
  }
  if (!LoadCommonControls()) {
    ShowError("コモン コントロールを読み込めません。");
    return setup::kExitAborted;
  }
  try {
    return RunSetup(instance);
  } catch (...) {
    // Thrown outside any window procedure: in setting up or taking down.
    try {
      ShowUnexpectedFailure(setup::DescribeCurrentException());
    } catch (...) {
      // No memory left even for the message; the exit status still tells.
    }
    return setup::kExitAborted;
  }
}
