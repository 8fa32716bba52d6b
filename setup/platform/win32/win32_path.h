#pragma once
// Paths in the form the wide file APIs take.

#include <windows.h>

#include <string>
#include <string_view>

#include "setup/platform/status.h"

namespace setup::win32 {

inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsSeparator(wchar_t c);

// `path` as the wide APIs take it: UTF-16; a bare drive ("E:") as its root; a long absolute path
// made full and given the "\\?\" form that lifts the length limit. Fails with kOther on a NUL.
Status SystemPath(std::string_view path, std::wstring& wide);

// A 32-bit program on 64-bit Windows sees System32 redirected to SysWOW64, so that a log under
// SYSTEM's profile (System32\config\systemprofile, a deployment tool's %TEMP%) would land where
// nobody looks, or nowhere. While this lives, paths on this thread mean what they say. Kept
// around one call only: the redirection is what finds the 32-bit DLLs the process may load.
// Looked up, since 32-bit Windows may lack the calls.
class NoSystem32Redirection {
 public:
  NoSystem32Redirection();
  ~NoSystem32Redirection();
  NoSystem32Redirection(const NoSystem32Redirection&) = delete;
  NoSystem32Redirection& operator=(const NoSystem32Redirection&) = delete;

 private:
  PVOID old_ = nullptr;
  bool disabled_ = false;
};

}  // namespace setup::win32
