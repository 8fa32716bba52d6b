#pragma once
// Driving another process's windows from outside, as a person would. Nothing here waits on a
// target that is busy: texts come from InternalGetWindowText, and whatever needs the target's
// answer goes through SendMessageTimeoutW.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"

namespace e2e {

using Handle = setup::win32::UniqueHandle;

using setup::win32::Utf8;
using setup::win32::Wide;

// The text with control characters and non-ASCII bytes kept readable in a report line.
std::string Quote(std::string_view utf8);

struct Process {
  Handle process;
  Handle thread;
  DWORD pid = 0;
};

// Starts `exe` with its quoted path as the whole command line, in the driver's environment
// and current folder. Returns an empty text or why it failed.
std::string Start(const std::wstring& exe, Process& out);
// The exit status, or nothing when the process still runs after `ms`.
std::optional<DWORD> WaitExit(const Process& p, DWORD ms);
bool Running(const Process& p);

std::string Text(HWND w);
std::string ClassName(HWND w);
// Top-level windows of the process, in Z order.
std::vector<HWND> TopWindows(DWORD pid);
// The first visible top-level window of the process with that class and, unless empty, title.
HWND FindTop(DWORD pid, std::string_view cls, std::string_view title);
// Polls FindTop until it answers or `ms` pass or the process ends.
HWND WaitTop(const Process& p, std::string_view cls, std::string_view title, DWORD ms);
// Polls until the window is gone.
bool WaitGone(HWND w, DWORD ms);

// The window that has the keyboard focus in the thread that owns `w`.
HWND Focus(HWND w);
std::optional<int> ProgressPos(HWND bar, UINT timeout_ms);
std::optional<std::vector<std::string>> ListRows(HWND list, UINT timeout_ms);

// A posted click, so the driver never waits on the handler it starts.
void Click(HWND button);
// A key pressed and released on the focused control, posted through the target's message loop.
void PostKey(HWND target, WORD vk);
// Shift+key as real keyboard input: the shift state of a posted key would be the driver's.
void TypeShifted(WORD vk);

struct BoxInfo {
  HWND box = nullptr;
  std::string title;
  std::string text;
  HWND owner = nullptr;
  bool yes = false, no = false, ok = false;
};
// A visible message box of the process, read without sending it anything.
std::optional<BoxInfo> FindBox(DWORD pid);
std::optional<BoxInfo> WaitBox(const Process& p, DWORD ms);
// Presses the box's button with that ID; false when the box has no such button.
bool Answer(const BoxInfo& box, int id);

// Saves the window's rectangle of the screen as a 24-bit BMP.
bool SaveScreenshot(HWND w, const std::wstring& path);

// Milliseconds on a monotonic clock.
double NowMs();

}  // namespace e2e
