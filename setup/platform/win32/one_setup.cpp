#include "setup/platform/win32/one_setup.h"

#include <utility>

#include "setup/platform/win32/win32_form.h"

namespace setup::win32 {
namespace {

// Two installers at once would move the same files into the same folder. The name is the same
// from any folder, and Global\ makes it one for every session of the machine.
constexpr const wchar_t* kOneSetupMutex = L"Global\\Kestrelwin.Tessaradyne.Setup";

// The running installer's screen to the front, or the box it shows. Windows lets a program
// that the user has just started give the foreground away. A named function, not a lambda: the
// system calls it with its own calling convention, which differs from C++'s on 32-bit Windows.
BOOL CALLBACK BringForwardIfSetup(HWND window, LPARAM) {
  wchar_t name[64];
  if (!IsWindowVisible(window) || GetClassNameW(window, name, 64) == 0 ||
      lstrcmpW(name, Win32Form::kClassName) != 0) {
    return TRUE;
  }
  SetForegroundWindow(GetLastActivePopup(window));
  return FALSE;
}

}  // namespace

// Another user's installer holds the mutex with a security descriptor that refuses us; an object
// of another kind holding the name (ERROR_INVALID_HANDLE) is another setup's, or a program's
// squatting it. Neither leaves us a guard, and without one nothing is installed.
Guard TakeOneSetupGuard(UniqueHandle& mutex, DWORD& error) {
  UniqueHandle made(CreateMutexW(nullptr, FALSE, kOneSetupMutex));
  error = GetLastError();  // before `mutex` lets go of anything it held
  mutex = std::move(made);
  if (mutex.valid() && error != ERROR_ALREADY_EXISTS) return Guard::kOurs;
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED ||
      error == ERROR_INVALID_HANDLE) {
    return Guard::kAnotherSetup;
  }
  return Guard::kUnknown;
}

// False when there is no screen to be seen here: the enumeration stops, reporting FALSE, at the
// screen it brought forward.
bool BringOtherSetupForward() {
  return !EnumWindows(BringForwardIfSetup, 0);
}

}  // namespace setup::win32
