// The programs the driver starts, and their windows, found and spoken to from outside.

#include "tests/e2e/driver.h"
//
#include "setup/platform/win32/kernel32.h"

namespace e2e {
bool Until(const std::function<bool()>& done, double ms) {
  for (const auto end = GetTickCount64() + ULONGLONG(ms); !done(); Sleep(5))
    if (GetTickCount64() > end) return false;
  return true;
}

// The process, none when it does not start.
Handle Start(const fs::path& exe, std::wstring args, const wchar_t* desktop, int show) {
  std::wstring command = L"\"" + exe.wstring() + L"\"" + args;
  STARTUPINFOW si{sizeof si};
  si.lpDesktop = const_cast<wchar_t*>(desktop);
  if (show >= 0) si.dwFlags = STARTF_USESHOWWINDOW, si.wShowWindow = WORD(show);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), command.data(), 0, 0, 0, 0, 0, 0, &si, &pi)) return {};
  CloseHandle(pi.hThread);  // none for a host program, nor a process
  return Handle(pi.hProcess);
}

std::optional<DWORD> ExitCode(const Handle& p, DWORD ms) {
  DWORD code = 0;
  const bool ended = WaitForSingleObject(p.get(), ms) == WAIT_OBJECT_0;
  return ended && GetExitCodeProcess(p.get(), &code) ? std::optional(code) : std::nullopt;
}

// Wine's version, from an export only its ntdll has; null on Windows.
const char* WineVersion() {
  using Version = const char*(CDECL*)();
  const auto version = reinterpret_cast<Version>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
  return version ? version() : nullptr;
}

bool Wine() {
  return WineVersion() != nullptr;
}

// The host's path of a Windows path, as Wine maps it; empty where it maps none.
std::wstring HostPath(const wchar_t* path) {
  using ToUnix = char*(CDECL*)(const wchar_t*);  // only Wine has this export
  char* unix_path = setup::win32::Kernel32<ToUnix>("wine_get_unix_file_name")(path);
  const std::wstring host = unix_path ? Wide(unix_path) : L"";
  HeapFree(GetProcessHeap(), 0, unix_path);
  return host;
}

// Runs a host program through Wine, with Windows paths given as host ones; on Windows, nothing.
// Wine may report it ended before it has run, so `done` tells when its effect shows.
bool Host(const char* program, const std::vector<std::wstring>& args,
          const std::function<bool()>& done) {
  if (!Wine()) return false;
  std::wstring command;
  for (const std::wstring& arg : args)
    command += L" \"" + (arg[1] == L':' ? HostPath(arg.c_str()) : arg) + L"\"";
  // Now and then, on a busy machine, a host program started so never runs: it gets three tries.
  for (int tries = 0; tries < 3; ++tries)
    if (Start(fs::path(L"Z:\\usr\\bin") / program, command); Until(done, 10000)) return true;
  return false;
}

// A window's text, read without sending it a message so that it works while the program
// sleeps, or its class name.
string Name(HWND w, bool of_class) {
  wchar_t s[4096];
  const int n = of_class ? GetClassNameW(w, s, 4096) : InternalGetWindowText(w, s, 4096);
  return Utf8(std::wstring_view(s, size_t(std::max(n, 0))));
}

// A window as a failure names it.
string Named(HWND w) {
  return w ? Name(w, true) + " [" + Name(w) + "]" : "none";
}

// A named function, not a lambda: the system calls it with its own calling convention, which
// differs from C++'s on 32-bit Windows.
BOOL CALLBACK TakeIf(HWND w, LPARAM search) {
  auto& [want, found] =
      *reinterpret_cast<std::pair<const std::function<bool(HWND)>*, HWND>*>(search);
  return !(*want)(w) || (found = w, FALSE);
}

// The first top-level window on the desktop (the driver's own when none) that `want` takes.
HWND FindWhere(HDESK desktop, const std::function<bool(HWND)>& want) {
  std::pair<const std::function<bool(HWND)>*, HWND> search{&want, nullptr};
  EnumDesktopWindows(desktop, TakeIf, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

bool IsOf(HWND w, const Handle& p) {
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  return owner == GetProcessId(p.get());
}

// A top-level window of the process, visible unless `hidden` too, with the class and title (any
// when empty), but none of `except`.
HWND FindTop(const Handle& p, const string& cls, const string& title, const std::set<HWND>& except,
             bool hidden) {
  return FindWhere(nullptr, [&](HWND w) {
    return IsOf(w, p) && (hidden || IsWindowVisible(w)) && !except.contains(w) &&
           (cls.empty() || Name(w, true) == cls) && (title.empty() || Name(w) == title);
  });
}

// A top-level window of the process on another desktop, shown or not.
HWND FindOn(HDESK desktop, const Handle& p) {
  return FindWhere(desktop, [&](HWND w) { return IsOf(w, p); });
}

HWND WaitTop(const Handle& p, const string& cls, const string& title) {
  HWND w = nullptr;
  Until([&] { return (w = FindTop(p, cls, title)) || ExitCode(p, 0); }, 10000);
  return w;
}

// A message sent with a timeout: it is only answered where the program pumps messages.
std::optional<DWORD_PTR> Ask(HWND w, UINT message, WPARAM wp, LPARAM lp, UINT ms) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(w, message, wp, lp, SMTO_NORMAL, ms, &result)) return std::nullopt;
  return result;
}

int FocusId(HWND form) {
  GUITHREADINFO info{sizeof info};
  GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info);
  return GetParent(info.hwndFocus) == form ? GetDlgCtrlID(info.hwndFocus) : -1;
}
}  // namespace e2e
