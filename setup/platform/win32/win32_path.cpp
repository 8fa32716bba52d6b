#include "setup/platform/win32/win32_path.h"

#include <utility>

#include "setup/platform/win32/kernel32.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_status.h"

namespace setup::win32 {
namespace {

// CreateDirectoryW stops 12 characters short of MAX_PATH, leaving room for an 8.3 name.
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

bool IsAsciiLetter(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

}  // namespace

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

Status SystemPath(std::string_view path, std::wstring& wide) {
  if (path.find('\0') != std::string_view::npos) {
    return Status::Error(StatusCode::kOther, "path holds a NUL character");
  }
  std::wstring result = Wide(path);
  const bool has_drive = result.size() >= 2 && result[1] == L':' && IsAsciiLetter(result[0]);
  // Alone, "E:" would be the current folder of drive E:, which the portable code never means.
  if (has_drive && result.size() == 2) result.push_back(L'\\');
  const bool drive_absolute = has_drive && result.size() >= 3 && IsSeparator(result[2]);
  const bool unc = result.size() >= 3 && IsSeparator(result[0]) && IsSeparator(result[1]) &&
                   result[2] != L'?' && result[2] != L'.';
  if (result.size() < kPlainPathLimit || !(drive_absolute || unc)) {
    wide = std::move(result);
    return Status::Ok();
  }
  // The "\\?\" form lifts the length limit but also the system's clean-up of separators and
  // "." and ".." parts, so the path is made full first.
  const DWORD needed = GetFullPathNameW(result.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return LastErrorStatus("resolve", path);
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(result.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return LastErrorStatus("resolve", path);
  full.resize(length);
  wide = unc ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
  return Status::Ok();
}

NoSystem32Redirection::NoSystem32Redirection() {
  using DisableFn = BOOL(WINAPI*)(PVOID*);
  if (const auto disable = Kernel32<DisableFn>("Wow64DisableWow64FsRedirection")) {
    disabled_ = disable(&old_) != FALSE;
  }
}

NoSystem32Redirection::~NoSystem32Redirection() {
  using RevertFn = BOOL(WINAPI*)(PVOID);
  if (disabled_) Kernel32<RevertFn>("Wow64RevertWow64FsRedirection")(old_);
}

}  // namespace setup::win32
