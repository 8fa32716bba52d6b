#include <memory>

#include "tests/e2e/driver.h"

namespace e2e {
// What the screen shows of window w, top-down, in a bitmap `copies` times its height whose
// further rows, of the face colour, `draw` may draw on.
std::vector<DWORD> Pixels(HWND w, int copies, const std::function<void(HDC, int, int)>& draw) {
  RECT r{};
  GetWindowRect(w, &r);
  const int width = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -copies * h, 1, 32, BI_RGB}};
  DWORD* px = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, 0, reinterpret_cast<void**>(&px), 0, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const std::shared_ptr<void> release(nullptr, [&](void*) {  // the GDI objects
    SelectObject(dc, old), DeleteObject(bitmap), DeleteDC(dc), ReleaseDC(nullptr, screen);
  });
  RECT rest{0, h, width, copies * h};
  BitBlt(dc, 0, 0, width, h, screen, r.left, r.top, SRCCOPY);
  FillRect(dc, &rest, GetSysColorBrush(COLOR_3DFACE));
  if (draw) draw(dc, width, h);
  GdiFlush();
  return px ? std::vector<DWORD>(px, px + width * copies * h) : std::vector<DWORD>{};
}

// How many pixels of window w, in its top left `corner` square if given, show the colour.
long Count(HWND w, COLORREF colour, long corner) {
  RECT r{};
  GetWindowRect(w, &r);
  const std::vector<DWORD> px = Pixels(w, 1, {});
  long n = 0;
  for (long i = 0, width = r.right - r.left; i < long(px.size()); ++i)
    n += RGB(px[i] >> 16 & 0xFF, px[i] >> 8 & 0xFF, px[i] & 0xFF) == colour && i % width < corner &&
         i / width < corner;
  return n;
}

// Which system icon a message box shows: icon handles belong to their process, so the icon
// static's pixels are compared with each icon drawn here. '-' none, '?' another one.
char IconOf(HWND box) {
  HWND icon = FindWindowExW(box, nullptr, L"Static", nullptr);  // made before the text's
  if ((GetWindowLongPtrW(icon, GWL_STYLE) & SS_TYPEMASK) != SS_ICON || !IsWindowVisible(icon) ||
      !Ask(icon, STM_GETICON).value_or(0))
    return '-';
  UpdateWindow(icon);  // painted before it is looked at
  // What the box shows on top, then the three icons drawn on its background.
  static const wchar_t* const kIcons[] = {IDI_INFORMATION, IDI_WARNING, IDI_ERROR};
  const std::vector<DWORD> px = Pixels(icon, 4, [](HDC dc, int w, int h) {
    for (int k = 1; k <= 3; ++k)
      DrawIconEx(dc, 0, k * h, LoadIconW(nullptr, kIcons[k - 1]), w, h, 0, nullptr, DI_NORMAL);
  });
  const int n = int(px.size() / 4);
  for (int k = 1, differ = 0; k <= 3 && n; ++k, differ = 0) {
    for (int i = 0; i < n; ++i) differ += ((px[i] ^ px[k * n + i]) & 0xE0E0E0) != 0;
    if (differ * 50 < n) return "-iwe"[k];
  }
  return '?';
}

// Saves the window as a PNG for the sample run, through the host's screenshot tool.
void Shot(HWND w, const char* name) {
  const fs::path png = fs::path(opt[L"shots"]) / (string(name) + ".png");
  RECT r;
  if (opt[L"shots"].empty() || !GetWindowRect(w, &r)) return;
  Sleep(300);  // to paint
  Host("import",
       {L"-window", L"root", L"-crop",
        Wide(F("%ldx%ld+%ld+%ld", r.right - r.left, r.bottom - r.top, r.left, r.top)), png},
       [&] { return fs::exists(png); });
}
}  // namespace e2e
