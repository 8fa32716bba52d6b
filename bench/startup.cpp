// Start-up time under Wine: from CreateProcessW to the first visible window, setup.exe against a
// one-window program started the same way from the same folder; medians of five rounds after a
// warm-up round.
//   startup_bench <folder with setup.exe and minimal_window.exe>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "setup/platform/win32/unique_handle.h"

namespace {

using Handle = setup::win32::UniqueHandle;

HWND VisibleWindowOf(DWORD pid, const wchar_t* cls) {
  for (HWND w = FindWindowExW(nullptr, nullptr, cls, nullptr); w;
       w = FindWindowExW(nullptr, w, cls, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

// Milliseconds until the program shows its window, which is then closed; negative if it never
// does.
double TimeToWindow(const std::wstring& exe, const wchar_t* cls) {
  std::wstring command = L"\"" + exe + L"\"";
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  const auto start = std::chrono::steady_clock::now();
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    return -1;
  }
  Handle process(pi.hProcess), thread(pi.hThread);
  HWND w = nullptr;
  while (!w && WaitForSingleObject(process.get(), 1) == WAIT_TIMEOUT)
    w = VisibleWindowOf(pi.dwProcessId, cls);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  if (w) PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
  if (WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0)
    TerminateProcess(process.get(), 1);
  return w ? took.count() : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::printf("usage: startup_bench <folder with setup.exe and minimal_window.exe>\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  std::vector<double> setup, minimal;
  for (int round = 0; round < 6; ++round) {
    const double m = TimeToWindow(folder + L"\\minimal_window.exe", L"MinimalWindow");
    const double s = TimeToWindow(folder + L"\\setup.exe", L"TessaradyneSetupForm");
    if (m < 0 || s < 0) {
      std::printf("startup: a program showed no window\n");
      return 1;
    }
    if (round == 0) continue;  // warms the caches
    minimal.push_back(m);
    setup.push_back(s);
  }
  std::printf("startup: setup_ms=%.0f minimal_ms=%.0f ratio=%.2f\n", Median(setup), Median(minimal),
              Median(setup) / Median(minimal));
  return 0;
}
