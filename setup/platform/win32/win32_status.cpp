#include "setup/platform/win32/win32_status.h"

#include <windows.h>

#include <string>
#include <utility>

#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"

namespace setup::win32 {
namespace {

StatusCode CodeFromWin32(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_DIRECTORY:
      return StatusCode::kNotFound;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return StatusCode::kAlreadyExists;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_CURRENT_DIRECTORY:
      return StatusCode::kAccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
      return StatusCode::kSharingViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return StatusCode::kDiskFull;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    // Media that is not ready and a share that cannot be reached hold the file still: it is
    // unreadable, not missing.
    case ERROR_NOT_READY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NETNAME_DELETED:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_SEM_TIMEOUT:
      return StatusCode::kIoError;
    case ERROR_NOT_SUPPORTED:
    case ERROR_CALL_NOT_IMPLEMENTED:
      return StatusCode::kUnsupported;
    case ERROR_NOT_SAME_DEVICE:
      return StatusCode::kNotSameVolume;
    default:
      return StatusCode::kOther;
  }
}

// English where the system has it, so that messages read the same on every system.
std::string SystemText(DWORD error) {
  UniqueLocalText text;
  const auto format = [&](DWORD language) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    text = UniqueLocalText(buffer);
    return n;
  };
  DWORD n = format(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (n == 0) n = format(0);
  std::string result;
  if (n != 0 && text.valid()) {
    const wchar_t* chars = text.get();
    while (n > 0 && (chars[n - 1] == L'\r' || chars[n - 1] == L'\n' || chars[n - 1] == L'.')) --n;
    result = Utf8(std::wstring_view(chars, n));
  }
  result += " (error " + std::to_string(error) + ")";
  return result;
}

}  // namespace

Status StatusFromWin32(unsigned long error, std::string_view operation, std::string_view path) {
  std::string message(operation);
  if (!path.empty()) {
    message.push_back(' ');
    message.append(path);
  }
  message.append(": ");
  message.append(SystemText(error));
  return Status::Error(CodeFromWin32(error), std::move(message));
}

Status LastErrorStatus(std::string_view operation, std::string_view path) {
  return StatusFromWin32(GetLastError(), operation, path);
}

}  // namespace setup::win32
