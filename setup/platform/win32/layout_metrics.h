#pragma once
// Layout tables are in points; windows live in pixels at their monitor's DPI. These helpers do
// the conversion and hide which DPI functions the running Windows has.

#include <windows.h>

namespace setup::win32 {

inline constexpr UINT kDefaultDpi = 96;

// Rounds to the nearest pixel, so that a control's edges land where the table puts them at any
// DPI and neighbouring controls keep their spacing.
int PointsToPixels(double points, UINT dpi);

// The DPI of the window's monitor; the system DPI where Windows has no per-window DPI.
UINT DpiOf(HWND window);

// The outer size of a window whose client area is width x height pixels.
SIZE WindowSizeFor(int client_width, int client_height, DWORD style, DWORD ex_style, UINT dpi);

// Top-left corner that centres a window of `size` on the monitor's work area, kept inside it.
POINT CentreOnWorkArea(HMONITOR monitor, SIZE size);

}  // namespace setup::win32
