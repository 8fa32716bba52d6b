#pragma once
// What setup.exe asks of the system before anything else: a safe DLL search, the common
// controls, where its windows would show, the system's own boxes kept away where nobody answers
// them, and the show state its start asked for.

#include <optional>

#include "setup/screens/setup1.h"

namespace setup::win32 {

// From here on, DLLs come from System32 only.
void RestrictDllSearch();
// Loads the common controls from System32 and registers the classes the screens use.
bool LoadCommonControls();
// Where the program's windows would show; what cannot be asked counts as unseen.
Seat WhereWindowsShow();
// Keeps the system's own boxes (a drive without its disk, a crash report) from waiting for an
// answer nobody gives.
void KeepSystemBoxesAway();
// The show state the starting program asked for, where it gave one.
std::optional<int> StartShowState();
// Takes a hidden start's show state on a window of its own, so that no box or screen is hidden.
void TakeHiddenStart();

}  // namespace setup::win32
