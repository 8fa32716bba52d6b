// The start-up baseline: one plain window and a message loop, nothing else. With "probe" it only
// loads version.dll by its bare name, as an unhardened program would, so that the planted-DLL
// scenario can show that a DLL beside the program is really found first.

#include <windows.h>

namespace {

LRESULT CALLBACK Procedure(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(w, message, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  if (wcsstr(GetCommandLineW(), L" probe")) return LoadLibraryW(L"version.dll") ? 0 : 1;
  WNDCLASSW wc{};
  wc.lpfnWndProc = Procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"MinimalWindow";
  if (!RegisterClassW(&wc)) return 1;
  HWND w =
      CreateWindowExW(0, wc.lpszClassName, L"minimal window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, 400, 300, nullptr, nullptr, instance, nullptr);
  if (!w) return 1;
  ShowWindow(w, show);
  // "quit": gone as soon as it is up, for a baseline of what any windowed program loads.
  if (wcsstr(GetCommandLineW(), L" quit")) PostMessageW(w, WM_CLOSE, 0, 0);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
