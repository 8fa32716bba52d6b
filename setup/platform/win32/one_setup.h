#pragma once
// One setup at a time on a machine: two would move the same files into the same folder.

#include <windows.h>

#include "setup/platform/win32/unique_handle.h"

namespace setup::win32 {

enum class Guard { kOurs, kAnotherSetup, kUnknown };

// Takes the machine-wide guard into `mutex`. kAnotherSetup also where another user's setup holds
// it or another kind of object holds its name; kUnknown, with `error`, where the system refused
// for another reason. Without the guard nothing may be installed.
Guard TakeOneSetupGuard(UniqueHandle& mutex, DWORD& error);

// Brings the running setup's screen, or the box it shows, to the front; false when there is no
// such screen to be seen here (another user's session, or a program holding the guard's name).
bool BringOtherSetupForward();

}  // namespace setup::win32
