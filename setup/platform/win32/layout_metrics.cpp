#include "setup/platform/win32/layout_metrics.h"

#include <cmath>

namespace setup::win32 {
namespace {

// The per-monitor DPI functions arrived with Windows 10; they are looked up rather than
// imported so that the program still starts where they are missing.
struct DpiFunctions {
  UINT(WINAPI* get_dpi_for_window)(HWND) = nullptr;
  BOOL(WINAPI* adjust_for_dpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;

  DpiFunctions() {
    if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
      get_dpi_for_window = reinterpret_cast<decltype(get_dpi_for_window)>(
          reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
      adjust_for_dpi = reinterpret_cast<decltype(adjust_for_dpi)>(
          reinterpret_cast<void*>(GetProcAddress(user32, "AdjustWindowRectExForDpi")));
    }
  }
};

// Looked up once before the program starts; a namespace-scope object needs no guard, which
// would bring the threads library into a single-threaded program.
const DpiFunctions kDpiFunctions;

const DpiFunctions& Dpi() {
  return kDpiFunctions;
}

}  // namespace

int PointsToPixels(double points, UINT dpi) {
  return static_cast<int>(std::lround(points * dpi / 72.0));
}

UINT DpiOf(HWND window) {
  if (Dpi().get_dpi_for_window != nullptr) {
    if (UINT dpi = Dpi().get_dpi_for_window(window); dpi != 0) return dpi;
  }
  HDC dc = GetDC(nullptr);
  const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc != nullptr) ReleaseDC(nullptr, dc);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

SIZE WindowSizeFor(int client_width, int client_height, DWORD style, DWORD ex_style, UINT dpi) {
  RECT rect{0, 0, client_width, client_height};
  if (Dpi().adjust_for_dpi != nullptr) {
    Dpi().adjust_for_dpi(&rect, style, FALSE, ex_style, dpi);
  } else {
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

POINT CentreOnWorkArea(HMONITOR monitor, SIZE size) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) work = info.rcWork;
  LONG x = work.left + (work.right - work.left - size.cx) / 2;
  LONG y = work.top + (work.bottom - work.top - size.cy) / 2;
  // A window larger than the work area keeps its title bar reachable.
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  return POINT{x, y};
}

}  // namespace setup::win32
