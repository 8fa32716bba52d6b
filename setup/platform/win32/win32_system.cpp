#include "setup/platform/win32/win32_system.h"

#include <windows.h>

#include <string_view>

#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_status.h"

namespace setup::win32 {
namespace {

// The longest path the wide file APIs accept, with room for its NUL.
constexpr DWORD kLongestPath = 32768;

std::wstring_view WithoutVerbatimPrefix(std::wstring_view path, std::wstring& storage) {
  constexpr std::wstring_view kUnc = L"\\\\?\\UNC\\";
  constexpr std::wstring_view kVerbatim = L"\\\\?\\";
  if (path.starts_with(kUnc)) {
    storage = L"\\\\";
    storage.append(path.substr(kUnc.size()));
    return storage;
  }
  if (path.starts_with(kVerbatim)) return path.substr(kVerbatim.size());
  return path;
}

}  // namespace

// A 32-bit process on 64-bit Windows is told C:\Windows\system32 too, a folder the file system
// shows it with the 32-bit system files (SysWOW64) in. The program takes only the path's drive,
// for the install folder at its root, which no redirection touches; it never looks inside.
std::uint32_t Win32System::GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  return ::GetSystemDirectoryA(buffer, size);
}

Status Win32System::ApplicationPath(std::string& folder) {
  // GetModuleFileNameW says only that the buffer was too small, never how big it must be.
  std::wstring module(MAX_PATH, L'\0');
  DWORD length = 0;
  for (;;) {
    const auto size = static_cast<DWORD>(module.size());
    length = GetModuleFileNameW(nullptr, module.data(), size);
    if (length == 0) return LastErrorStatus("find the program's folder");
    if (length < size) break;
    if (size >= kLongestPath) {
      return StatusFromWin32(ERROR_INSUFFICIENT_BUFFER, "find the program's folder");
    }
    module.resize(size * 2 < kLongestPath ? size * 2 : kLongestPath);
  }
  module.resize(length);

  std::wstring storage;
  std::wstring_view path = WithoutVerbatimPrefix(module, storage);
  const std::size_t last = path.find_last_of(L'\\');
  if (last == std::wstring_view::npos) {
    return Status::Error(StatusCode::kOther,
                         "find the program's folder: no folder in " + Utf8(module));
  }
  // "E:\setup.exe" lives in "E:\", the root, which keeps its backslash.
  const bool at_root = last == 2 && path[1] == L':';
  folder = Utf8(path.substr(0, at_root ? last + 1 : last));
  return Status::Ok();
}

void Win32System::Sleep(std::uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

void Win32System::Wait(std::uint32_t milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return;
    // Wakes for a sent message only: posted input waits for the run's own pumps.
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_SENDMESSAGE, 0);
  }
}

const CodePage& Win32System::AnsiCodePage() const {
  return code_page_;
}

}  // namespace setup::win32
