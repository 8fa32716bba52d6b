// The entry point of setup.exe: hardens DLL loading, loads the common controls, then hands the
// program to the screens and runs the message loop until they end it.

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "setup/platform/win32/forms_toolkit.h"
#include "setup/platform/win32/message_boxes.h"
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

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
  RestrictDllSearch();
  if (!LoadCommonControls()) {
    MessageBoxW(nullptr, L"コモン コントロールを読み込めません。", L"SETUP",
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    return setup::kExitAborted;
  }

  setup::win32::Win32System system;
  setup::win32::Win32FileSystem files;
  setup::win32::Win32FormsToolkit forms(instance);
  setup::win32::Win32MessageBoxes boxes(forms);
  // Destroyed before the toolkit, taking its windows with it.
  setup::Program program(setup::Platform{forms, boxes, system, files});
  setup::Main(program);
  return forms.Run();
}
