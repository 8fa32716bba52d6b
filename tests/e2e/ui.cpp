#include "tests/e2e/ui.h"

#include <commctrl.h>

#include <cstdio>

namespace e2e {

std::string Quote(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Start(const std::wstring& exe, Process& out) {
  std::wstring command = L"\"" + exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    return "CreateProcessW failed with error " + std::to_string(GetLastError());
  }
  out.process = Handle(pi.hProcess);
  out.thread = Handle(pi.hThread);
  out.pid = pi.dwProcessId;
  return {};
}

std::optional<DWORD> WaitExit(const Process& p, DWORD ms) {
  if (WaitForSingleObject(p.process.get(), ms) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(p.process.get(), &code);
  return code;
}

bool Running(const Process& p) {
  return WaitForSingleObject(p.process.get(), 0) == WAIT_TIMEOUT;
}

std::string Text(HWND w) {
  wchar_t buffer[4096];
  const int n = InternalGetWindowText(w, buffer, 4096);
  return Utf8(std::wstring_view(buffer, static_cast<std::size_t>(n > 0 ? n : 0)));
}

std::string ClassName(HWND w) {
  wchar_t buffer[256];
  const int n = GetClassNameW(w, buffer, 256);
  return Utf8(std::wstring_view(buffer, static_cast<std::size_t>(n > 0 ? n : 0)));
}

namespace {

struct EnumState {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND w, LPARAM state) {
  auto* s = reinterpret_cast<EnumState*>(state);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == s->pid) s->found.push_back(w);
  return TRUE;
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid) {
  EnumState state{pid, {}};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

HWND FindTop(DWORD pid, std::string_view cls, std::string_view title) {
  for (HWND w : TopWindows(pid)) {
    if (IsWindowVisible(w) && ClassName(w) == cls && (title.empty() || Text(w) == title)) {
      return w;
    }
  }
  return nullptr;
}

HWND WaitTop(const Process& p, std::string_view cls, std::string_view title, DWORD ms) {
  const double until = NowMs() + ms;
  for (;;) {
    if (HWND w = FindTop(p.pid, cls, title)) return w;
    if (NowMs() > until || !Running(p)) return nullptr;
    Sleep(5);
  }
}

bool WaitGone(HWND w, DWORD ms) {
  const double until = NowMs() + ms;
  while (IsWindow(w)) {
    if (NowMs() > until) return false;
    Sleep(5);
  }
  return true;
}

HWND Focus(HWND w) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

std::optional<int> ProgressPos(HWND bar, UINT timeout_ms) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, timeout_ms, &result)) {
    return std::nullopt;
  }
  return static_cast<int>(result);
}

std::optional<std::vector<std::string>> ListRows(HWND list, UINT timeout_ms) {
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, timeout_ms, &count)) {
    return std::nullopt;
  }
  std::vector<std::string> rows;
  for (WPARAM i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_NORMAL, timeout_ms, &length) ||
        length == static_cast<DWORD_PTR>(LB_ERR)) {
      return std::nullopt;
    }
    std::wstring row(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row.data()), SMTO_NORMAL,
                             timeout_ms, &copied) ||
        copied == static_cast<DWORD_PTR>(LB_ERR)) {
      return std::nullopt;
    }
    row.resize(copied);
    rows.push_back(Utf8(row));
  }
  return rows;
}

void Click(HWND button) {
  PostMessageW(button, BM_CLICK, 0, 0);
}

void PostKey(HWND target, WORD vk) {
  const UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | static_cast<LPARAM>(scan) << 16;
  const LPARAM up = down | static_cast<LPARAM>(0xC0000000u);
  // The target's own TranslateMessage makes any WM_CHAR, as it would for a real key.
  PostMessageW(target, WM_KEYDOWN, vk, down);
  PostMessageW(target, WM_KEYUP, vk, up);
}

void TypeShifted(WORD vk) {
  INPUT inputs[4]{};
  const WORD keys[4] = {VK_SHIFT, vk, vk, VK_SHIFT};
  for (int i = 0; i < 4; ++i) {
    inputs[i].type = INPUT_KEYBOARD;
    inputs[i].ki.wVk = keys[i];
    inputs[i].ki.wScan = static_cast<WORD>(MapVirtualKeyW(keys[i], MAPVK_VK_TO_VSC));
    inputs[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(4, inputs, sizeof(INPUT));
}

std::optional<BoxInfo> FindBox(DWORD pid) {
  for (HWND w : TopWindows(pid)) {
    if (!IsWindowVisible(w) || ClassName(w) != "#32770") continue;
    BoxInfo info;
    info.box = w;
    info.title = Text(w);
    // A box's text is the static with ID 0xFFFF.
    if (HWND text = GetDlgItem(w, 0xFFFF)) info.text = Text(text);
    info.owner = GetWindow(w, GW_OWNER);
    info.yes = GetDlgItem(w, IDYES) != nullptr;
    info.no = GetDlgItem(w, IDNO) != nullptr;
    info.ok = GetDlgItem(w, IDOK) != nullptr;
    return info;
  }
  return std::nullopt;
}

std::optional<BoxInfo> WaitBox(const Process& p, DWORD ms) {
  const double until = NowMs() + ms;
  for (;;) {
    if (auto box = FindBox(p.pid)) return box;
    if (NowMs() > until || !Running(p)) return std::nullopt;
    Sleep(5);
  }
}

bool Answer(const BoxInfo& box, int id) {
  HWND button = GetDlgItem(box.box, id);
  if (!button) return false;
  Click(button);
  return true;
}

namespace {

class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

class MemoryDc {
 public:
  explicit MemoryDc(HDC like) : dc_(CreateCompatibleDC(like)) {}
  ~MemoryDc() {
    if (dc_) DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

class Bitmap {
 public:
  explicit Bitmap(HBITMAP b) : b_(b) {}
  ~Bitmap() {
    if (b_) DeleteObject(b_);
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  HBITMAP get() const { return b_; }

 private:
  HBITMAP b_;
};

class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selection() { SelectObject(dc_, old_); }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace

bool SaveScreenshot(HWND w, const std::wstring& path) {
  RECT r{};
  if (!GetWindowRect(w, &r)) return false;
  const LONG width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return false;

  ScreenDc screen;
  MemoryDc memory(screen.get());
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  Bitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap.get() || !memory.get()) return false;
  {
    Selection selected(memory.get(), bitmap.get());
    if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top,
                SRCCOPY | CAPTUREBLT)) {
      return false;
    }
    GdiFlush();
  }
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD image = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + image;
  info.bmiHeader.biSizeImage = image;

  Handle out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out.valid()) return false;
  DWORD written = 0;
  bool ok = WriteFile(out.get(), &file, sizeof file, &written, nullptr) && written == sizeof file;
  ok = ok && WriteFile(out.get(), &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
       written == sizeof info.bmiHeader;
  ok = ok && WriteFile(out.get(), bits, image, &written, nullptr) && written == image;
  return ok;
}

double NowMs() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / frequency;
}

}  // namespace e2e
