#pragma once
// The one place where POSIX errno values become Status, so every POSIX operation reports its
// failures with the same codes and wording.

#include <string_view>

#include "setup/platform/status.h"

namespace setup {

// Returns a non-ok Status for `err` (an errno value, never 0) with the message
// "<operation> <path>: <system text>", e.g. "move C:\x\a.dvb: No such file or directory".
// `path` is the Windows-form path the caller asked about, not the POSIX one it was mapped to.
Status StatusFromErrno(int err, std::string_view operation, std::string_view path);

}  // namespace setup
