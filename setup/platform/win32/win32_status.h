#pragma once
// The one place where Win32 error numbers become Status values.

#include <string_view>

#include "setup/platform/status.h"

namespace setup::win32 {

// `error` is a GetLastError() value; the message names the operation, the path (if any) and
// the system's text for the error.
Status StatusFromWin32(unsigned long error, std::string_view operation, std::string_view path = {});
// The same for the calling thread's last error.
Status LastErrorStatus(std::string_view operation, std::string_view path = {});

}  // namespace setup::win32
