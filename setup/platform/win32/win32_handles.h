#pragma once
// Handles on files and folders: opened one way, told what they are one way, identified one way.

#include <windows.h>

#include <optional>
#include <string>

#include "setup/platform/file_system.h"
#include "setup/platform/status.h"
#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/win32_path.h"
#include "setup/platform/windows_rules.h"

namespace setup::win32 {

// How OpenHandle opens a path: CreateFileW's access, sharing, disposition and flags.
struct Opening {
  DWORD access = FILE_READ_ATTRIBUTES;
  DWORD sharing = kShareAll;
  DWORD disposition = OPEN_EXISTING;
  DWORD flags = 0;
  // Only a plain file of one name, opened through the filter that serves its data if one does;
  // anything else fails with kOther. `access` must then include FILE_READ_ATTRIBUTES, without
  // which Windows answers no question about the file, and `sharing` must admit `access`: the file
  // is then opened twice over for a moment.
  bool plain = false;
  // What a link at the path's end leads to, rather than the link itself.
  bool follow = false;
};

// Opens the path, in the form the wide APIs take; `operation` names it in a failure. `facts`, if
// given, receives what the opened entry is.
Status OpenHandle(const std::string& path, const Opening& how, const char* operation,
                  UniqueHandle& handle, windows_rules::EntryFacts* facts = nullptr);

// The volume and number of the opened file: 128 bits wide where the system numbers so (ReFS), the
// 64-bit index where it has no such answer (Windows 7).
bool IdentifyHandle(HANDLE handle, FileId& id);

// The system's own name of the opened entry ("\Device\HarddiskVolume2\dir\name"), the same from
// whichever path it was opened by.
std::optional<std::string> FinalName(HANDLE handle);

}  // namespace setup::win32
