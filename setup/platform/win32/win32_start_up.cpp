#include "setup/platform/win32/win32_start_up.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "setup/platform/win32/kernel32.h"
#include "setup/platform/win32/wide.h"

namespace setup::win32 {

// The installer runs from a download or unpack folder, where anyone may have left a DLL named
// like a system one. From here on, DLLs come from System32 only: for a 32-bit process on 64-bit
// Windows that is the 32-bit system folder (SysWOW64), which holds the DLLs it can load.
void RestrictDllSearch() {
  // Looked up: Windows 7 has it only with an update.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  if (auto set_default = Kernel32<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories")) {
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

// Where the program's windows would show. What cannot be asked counts as unseen: a run that
// waits for ever is the worse mistake.
Seat WhereWindowsShow() {
  Seat seat;
  DWORD session = 0;
  seat.service_session = ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0;
  USEROBJECTFLAGS flags{};
  seat.station_shown = GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags,
                                                 sizeof flags, nullptr) &&
                       (flags.dwFlags & WSF_VISIBLE) != 0;
  wchar_t name[64] = L"";
  if (GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, name,
                                sizeof name - sizeof *name, nullptr)) {
    seat.desktop = Utf8(name);
  }
  return seat;
}

// Where nobody answers, the system's own boxes would wait too: an error reading a drive without
// its disk, and the crash report's.
void KeepSystemBoxesAway() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  // Looked up: WER_FAULT_REPORTING_NO_UI (32) is not in every SDK, nor known to every Windows,
  // which then takes queueing the report alone (WER_FAULT_REPORTING_FLAG_QUEUE, 2).
  using WerSetFlagsFn = HRESULT(WINAPI*)(DWORD);
  if (auto set_flags = Kernel32<WerSetFlagsFn>("WerSetFlags")) {
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

}  // namespace setup::win32
