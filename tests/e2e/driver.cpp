// Walks setup.exe through its screens under Wine as a person would and checks what it shows and
// leaves behind. Each scenario is a row of the table at the end: how to lay out the distribution
// and drive C:, then steps, each an action on the running program or a check of it. The screens'
// design comes from the program's own layout tables; what the user reads on them (titles, the
// blue sentence) and what the program does (texts, values, pauses, message boxes and their icons,
// exit statuses, files) is written out here on its own.
//
//   driver setup=<setup.exe> dist=<distribution> work=<folder> programs=<folder of
//       minimal_window.exe, dll_probe.exe and planted\> [cross=<folder on another file system>]
//       [only=a,b | part=i/n] [shots=<folder>] [verbose=1]
// It prints "code page N, D dpi", a PASS or FAIL line for each scenario with what failed, and
// "e2e: P passed, F failed"; it exits with 0 when all passed.

#include <windows.h>
//
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "setup/platform/win32/unique_handle.h"
#include "tests/menu_oracle.h"
#include "tests/texts.h"
// The checks of the program's Win32 layer in platform.cpp.
namespace setup::win32 {
void CheckPlatform(const std::function<bool(bool, const std::string&)>& expect,
                   const std::string& other);
}
#include "setup/platform/win32/wide.h"
#include "setup/screens/user_form1.h"
#include "setup/screens/user_form2.h"
#include "setup/screens/user_form4.h"

namespace {

namespace fs = std::filesystem;
using setup::win32::Utf8;
using setup::win32::Wide;
using std::string;
using Files = std::map<string, string>;
using Handle = setup::win32::UniqueHandle;
using F1 = setup::UserForm1;
using F2 = setup::UserForm2;
using F4 = setup::UserForm4;

using namespace texts;
const string kNoTemplateBox = kNoTemplate + kAbort, kUnwritableBox = kUnwritable + kAbort;
const string kUnknownArgument = "不明な引数です: /bogus", kMenu = "TessaradyneTOOL.mns";
// The screens' titles, the progress screen's as the run sets it before its question.
const string kTitles[] = {"Kestrelwin 使用許諾", "Kestrelwin　セットアップ", "Tessaradyne SETUP"};
// A run's status texts, and the bar's values each with the seconds since Yes or since the value
// before, rounded; a run that aborts at the menu file shows neither last one.
const string kStatuses =
    "setup ready!|get setup holderpass...|setup AutoCAD nemu file...|setup tool nemu file...|";
const string kLastStatus = "setup complete...|";
const string kValues = "0/0s 10/1s 70/2s 80/1s 90/1s ", kLastValue = "100/0s ";  // moves untimed
const fs::path kInstall = L"C:\\Tessaradyne", kElsewhere = L"C:\\elsewhere";
// Control IDs are 100 + the entry's index in its screen's layout table.
constexpr int kNext = 100 + F1::Command1, kLeave = 100 + F1::Command2, kAgree = 100 + F1::Command3,
              kDisagree = 100 + F1::Command4, kStart = 100 + F2::CommandButton1,
              kQuit = 100 + F2::CommandButton2, kBar = 100 + F4::ProgressBar1,
              kLabel = 100 + F4::Label1, kShiftTab = VK_TAB | 0x100;  // Tab with Shift held

std::map<std::wstring, std::wstring> opt;  // the name=value arguments

template <class... A>
string F(const char* format, A... args) {
  char text[2048];
  snprintf(text, sizeof text, format, args...);
  return text;
}

bool Until(const std::function<bool()>& done, double ms) {
  for (const auto end = GetTickCount64() + ULONGLONG(ms); !done(); Sleep(5))
    if (GetTickCount64() > end) return false;
  return true;
}

// --- files -------------------------------------------------------------------------------------

std::optional<string> Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::optional(string{std::istreambuf_iterator<char>(in), {}}) : std::nullopt;
}

bool Write(const fs::path& path, const string& bytes) {
  return bool(std::ofstream(path, std::ios::binary) << bytes);
}

// A folder's plain files with their bytes; nothing when it is missing.
std::optional<Files> Folder(const fs::path& folder) {
  std::error_code e;
  Files files;
  for (const auto& f : fs::directory_iterator(folder, e))
    if (f.is_regular_file(e))
      files[Utf8(f.path().filename().wstring())] = Read(f.path()).value_or("?");
  return fs::is_directory(folder, e) ? std::optional(files) : std::nullopt;
}

// A folder holding just `files`, or none without them; a drive's root is only emptied.
bool Lay(const fs::path& folder, const Files& files) {
  std::error_code e;
  for (const auto& f : fs::directory_iterator(folder, e)) {
    SetFileAttributesW(f.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(f.path(), e);
  }
  const bool root = !folder.has_filename();
  if (!root) fs::remove(folder, e);
  // An empty root cannot be iterated on Windows (it lacks "." and ".."): Folder takes that.
  bool ok = root ? Folder(folder).value_or(Files{{"", ""}}).empty()
                 : !fs::exists(folder, e) && (files.empty() || fs::create_directory(folder, e));
  for (const auto& [name, bytes] : files) ok = ok && Write(folder / name, bytes);
  return ok;
}

bool IsKind(const string& name, const char* ending) {
  return name.size() >= 4 && lstrcmpiA(name.c_str() + name.size() - 4, ending) == 0;
}

bool IsTool(const string& name) {
  return IsKind(name, ".dvb") || IsKind(name, ".bmp") || IsKind(name, ".mns");
}

// --- processes and windows ---------------------------------------------------------------------

// The process, none when it does not start.
Handle Start(const fs::path& exe, std::wstring args = L"") {
  std::wstring command = L"\"" + exe.wstring() + L"\"" + args;
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), command.data(), 0, 0, 0, 0, 0, 0, &si, &pi)) return {};
  CloseHandle(pi.hThread);  // none for a host program, nor a process
  return Handle(pi.hProcess);
}

std::optional<DWORD> ExitCode(const Handle& p, DWORD ms) {
  DWORD code = 0;
  const bool ended = WaitForSingleObject(p.get(), ms) == WAIT_OBJECT_0;
  return ended && GetExitCodeProcess(p.get(), &code) ? std::optional(code) : std::nullopt;
}

// Runs a host program through Wine, with Windows paths given as host ones. Wine may report it
// ended before it has run, so `done` tells when its effect shows.
bool Host(const char* program, const std::vector<std::wstring>& args,
          const std::function<bool()>& done) {
  using ToUnix = char*(CDECL*)(const wchar_t*);  // only Wine has this export
  const auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  std::wstring command;
  for (const std::wstring& arg : args) {
    char* path = arg[1] == L':' ? to_unix(arg.c_str()) : nullptr;
    command += L" \"" + (path ? Wide(path) : arg) + L"\"";
    HeapFree(GetProcessHeap(), 0, path);
  }
  // Now and then, on a busy machine, a host program started so never runs: it gets three tries.
  for (int tries = 0; tries < 3; ++tries)
    if (Start(fs::path(L"Z:\\usr\\bin") / program, command); Until(done, 10000)) return true;
  return false;
}

// A window's text, read without sending it a message so that it works while the program
// sleeps, or its class name.
string Name(HWND w, bool of_class = false) {
  wchar_t s[4096];
  const int n = of_class ? GetClassNameW(w, s, 4096) : InternalGetWindowText(w, s, 4096);
  return Utf8(std::wstring_view(s, size_t(std::max(n, 0))));
}

// A window as a failure names it.
string Named(HWND w) {
  return w ? Name(w, true) + " [" + Name(w) + "]" : "none";
}

// A top-level window of the process, visible unless `hidden` too, with the class and title (any
// when empty), but none of `except`.
HWND FindTop(const Handle& p, const string& cls = "", const string& title = "",
             const std::set<HWND>& except = {}, bool hidden = false) {
  for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == GetProcessId(p.get()) && (hidden || IsWindowVisible(w)) && !except.contains(w) &&
        (cls.empty() || Name(w, true) == cls) && (title.empty() || Name(w) == title))
      return w;
  }
  return nullptr;
}

HWND WaitTop(const Handle& p, const string& cls, const string& title = "") {
  HWND w = nullptr;
  Until([&] { return (w = FindTop(p, cls, title)) || ExitCode(p, 0); }, 10000);
  return w;
}

// A message sent with a timeout: it is only answered where the program pumps messages.
std::optional<DWORD_PTR> Ask(HWND w, UINT message, WPARAM wp = 0, LPARAM lp = 0, UINT ms = 3000) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(w, message, wp, lp, SMTO_NORMAL, ms, &result)) return std::nullopt;
  return result;
}

int FocusId(HWND form) {
  GUITHREADINFO info{sizeof info};
  GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info);
  return GetParent(info.hwndFocus) == form ? GetDlgCtrlID(info.hwndFocus) : -1;
}

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
long Count(HWND w, COLORREF colour, long corner = LONG_MAX) {
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

// --- scenarios ---------------------------------------------------------------------------------

// Steps; a and b are numbers, text a message:
//   kScreen      a: 0 the agreement screen (design, 48 rows, 次へ disabled), 1 the
//                confirmation screen (design, blue sentence, focus on 開始), 2 the progress
//                screen under the start question
//   kClick       a: control
//   kEnabled     a: control, b: 1 enabled or 0 disabled
//   kKey         a: key, b: control focused afterwards or -1; a held Enter when a is 0, on the
//                open box if there is one
//   kBox         text, b: icon (buttons go with it); a: 1 any owner and text only a beginning
//   kAnswer      a: button of the open box
//   kRun         Yes, then the run to its last box, answered OK; a: 1 try to close it meanwhile,
//                2 post the screens' activation message meanwhile; text: the abort message it
//                ends with instead of the outcome's
//   kPost kSend  a: message, b: wParam, posted or sent to the screen; a sent one but
//                WM_ENDSESSION must be answered TRUE
//   kEndLoop     WM_QUIT to the screen's thread
//   kSecond      a second setup.exe from another copy leaves at once with 4, showing nothing and
//                bringing the first to the front; a: 1 silently, leaving the first where it is
//   kExit        a: exit status; no further window may be left open instead
//   kQuiet       a: exit status, reached well within the run's designed pauses, with no window of
//                the process at any moment
//   kLog         a: exit status; the log holds the run's lines; text: the abort message it ends
//                with instead of the outcome's
//   kInstalled   files where the outcome puts them
//   kUntouched   nothing written anywhere
//   kMarkers     no planted DLL loaded beyond those a one-window program loads
//   kPlatform    the program's Win32 layer on its own (platform.cpp)
// clang-format off
enum Op { kScreen, kClick, kEnabled, kKey, kBox, kAnswer, kRun, kPost, kSend,
          kEndLoop, kSecond, kExit, kQuiet, kLog, kInstalled, kUntouched, kMarkers, kPlatform };
// clang-format on

struct Step {
  Op op;
  long long a = 0, b = 0;
  const string* text = nullptr;
};
using Steps = std::vector<Step>;

Steps operator+(Steps a, const Steps& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Preparations: no template; a folder where the menu file goes, so it cannot be put there; an older
// install in C:\Tessaradyne; a .dvb held open without
// sharing; org_TOOL held open for writing, shared for reading; the distribution on another file
// system with its tool files read-only; C:\Tessaradyne a host symbolic link; DLLs named like
// system ones beside setup.exe; the one-setup mutex held by the driver; high-contrast colours; a
// .dvb held without delete sharing until deployment has started.
// clang-format off
enum Prep : unsigned { kNoOrgTool = 1, kMenuBlocked = 2, kOld = 4, kLocked = 16,
                       kHeldTemplate = 32, kCrossDrive = 64, kLink = 128, kPlant = 256,
                       kNoSetup = 512, kMutex = 1024, kContrast = 2048, kBriefLock = 4096,
                       kSilent = 8192, kLogged = 16384, kBogus = 32768 };
// clang-format on

struct Scenario {
  const char* name;
  unsigned prep;
  Steps steps;
};

struct Ctx {
  const Scenario& s;
  std::vector<string> fails;
  fs::path dir;                      // the folder setup.exe runs from
  Files before, old;                 // it and C:\Tessaradyne before the run
  std::set<string> unplaced, floor;  // tool files the run cannot place; planted DLLs that any
                                     // windowed program loads
  std::vector<Handle> held;
  Handle p;
  ULONGLONG started = 0;
  HWND form = nullptr, box = nullptr;
  fs::path Log() const { return dir.wstring() + L".log"; }  // where /log= puts it

  bool Check(bool ok, const string& what) { return ok || (fails.push_back(what), false); }
  void Say(const string& l) const { opt[L"verbose"].empty() || std::printf("  %s\n", l.data()); }
  // A check whose message says what it saw, which verbose=1 prints.
  bool Shows(bool ok, const string& what) { return Say(what), Check(ok, what); }
};

// The open box: title, text, buttons (Yes and No for questions, which have no icon, else OK), icon
// and owner; `loose` takes any owner and the text as a beginning.
bool CheckBox(Ctx& c, const string& text, char icon, bool loose = false) {
  string buttons;
  for (const auto& [id, name] :
       {std::pair{IDOK, "OK "}, {IDCANCEL, "Cancel "}, {IDYES, "Yes "}, {IDNO, "No "}})
    if (IsWindowVisible(GetDlgItem(c.box, id))) buttons += name;
  const string said = Name(GetDlgItem(c.box, 0xFFFF)), what = "box [" + text + "]: ";
  char shown = IconOf(c.box);  // '?' also while the box is still being painted
  for (int i = 0; shown == '?' && i < 20; ++i) Sleep(100), shown = IconOf(c.box);
  c.Say(F("message [%s] %s, icon %c", said.c_str(), buttons.c_str(), shown));
  c.Check(Name(c.box) == "SETUP" && buttons == (icon == '-' ? "Yes No " : "OK "),
          what + "title [" + Name(c.box) + "], buttons " + buttons);
  c.Check(loose ? said.starts_with(text) : said == text, what + "text [" + said + "]");
  c.Check(loose || GetWindow(c.box, GW_OWNER) == c.form, what + "not owned by its screen");
  return c.Check(shown == icon, what + F("icon %c, want %c", shown, icon));
}

// The incomplete warning names the unplaced files by kind, each kind in the order the file system
// lists them, which is by name on NTFS and under Wine.
string Incomplete(const Ctx& c) {
  string text = kIncomplete;
  for (const char* kind : {".dvb", ".bmp", ".mns"})
    for (const string& name : c.unplaced) text += IsKind(name, kind) ? "\r\n" + name : "";
  return text;
}

bool FollowRun(Ctx& c, const Step& s) {
  HWND bar = GetDlgItem(c.form, kBar), label = GetDlgItem(c.form, kLabel), end = nullptr;
  string values, statuses = "|";
  std::atomic<long long> session = -1;
  // tool_menu: when "setup tool..." showed
  std::atomic<ULONGLONG> entries = 0, since = GetTickCount64(), tool_menu = 0;
  // The bar only answers where the run pumps messages, so one query always waits there. The
  // texts change only just before a pump.
  std::jthread sampler([&](std::stop_token stop) {
    for (int last = -1; !stop.stop_requested() && IsWindow(bar); Sleep(1)) {
      const int value = int(Ask(bar, PBM_GETPOS).value_or(last));
      const string status = Name(label);
      if (!statuses.ends_with("|" + status + "|")) statuses += status + "|";
      if (status.starts_with("setup tool") && !tool_menu) tool_menu = GetTickCount64();
      if (value == std::exchange(last, value)) continue;
      const ULONGLONG was = since.exchange(GetTickCount64());
      values += F("%d/%lds ", value, value < 100 ? std::lround(double(since - was) / 1e3) : 0L);
      if (++entries == 4) Shot(c.form, "progress");
    }
  });
  // Sent messages wait for the run's next pump, so they go from a thread of their own, once the
  // run is under way.
  std::thread closer;
  Until([&] { return entries > 0; }, 3000);
  const ULONGLONG yes = since = GetTickCount64();
  PostMessageW(GetDlgItem(c.box, IDYES), BM_CLICK, 0, 0);
  const auto watch = [&] {
    // A scanner lets go of a tool file half a second into deployment, which starts after the
    // menu step's one-second pause.
    if ((c.s.prep & kBriefLock) && tool_menu && GetTickCount64() > tool_menu + 1500) c.held.clear();
    if (s.a && entries == 2 && !closer.joinable())
      closer = std::thread([&, w = c.form] {
        // The screens' activation message, as any program can post it.
        if (s.a == 2) return (void)PostMessageW(w, WM_APP + 1, 0, 0);
        PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
        Ask(w, WM_CLOSE, 0, 0, 10000);
        session = (long long)Ask(w, WM_QUERYENDSESSION, 0, 0, 10000).value_or(-1);
      });
    return (end = FindTop(c.p, "#32770", "", {c.box})) || ExitCode(c.p, 0);
  };
  Until(watch, 30000);
  const double took = double(GetTickCount64() - yes);
  Until([&] { return entries > (s.text ? 5 : 6); }, 1000);
  sampler.request_stop();
  sampler.join();
  if (closer.joinable()) closer.join();
  c.Check(s.a != 1 || !session, F("WM_QUERYENDSESSION while busy answered %lld", session.load()));
  c.Shows(statuses == "|" + kStatuses + (s.text ? "" : kLastStatus), "status texts " + statuses);
  c.Check(values == kValues + (s.text ? "" : kLastValue), "progress values " + values);
  c.Check(s.text || took >= 6990, F("the run took %.0f ms", took));
  if (!c.Check(c.box = end, "the run ended without a message box")) return false;
  const bool ok = c.unplaced.empty();
  CheckBox(c, s.text ? *s.text : ok ? kDone : Incomplete(c), s.text ? 'e' : ok ? 'i' : 'w');
  return PostMessageW(GetDlgItem(end, IDOK), BM_CLICK, 0, 0);
}

// C:\Tessaradyne and the source folder hold exactly what the outcome puts there: after an
// install, tool files moved unless they cannot be placed or are bitmaps installed before, and the
// menu made from the template with them; otherwise nothing changed.
bool CheckFiles(Ctx& c, bool installed) {
  Files install = c.old, source = installed ? Files{} : c.before, files = c.before;
  files[kMenu] = OracleMenu(c.before["org_TOOL"], GetACP() == 932, "C:/Tessaradyne/");
  for (const auto& [name, bytes] : installed ? files : Files{}) {
    const bool kept = c.unplaced.contains(name) || (IsKind(name, ".bmp") && c.old.contains(name));
    (IsTool(name) && !kept ? install : source)[name] = bytes;
  }
  c.held.clear();
  c.Check(installed || !c.old.empty() || !fs::exists(kInstall), "C:\\Tessaradyne was made");
  for (const auto& [where, got, want] : {std::tuple{"C:\\Tessaradyne", Folder(kInstall), install},
                                         std::tuple{"the source folder", Folder(c.dir), source}}) {
    string names = F("%s holds", where), wanted = "; want";  // (!): other bytes than wanted
    for (const auto& [name, bytes] : got.value_or(Files{}))
      names += " " + name + (want.contains(name) && want.at(name) != bytes ? "(!)" : "");
    for (const auto& [name, bytes] : want) wanted += " " + name;
    c.Shows(got.value_or(Files{}) == want, names + wanted);
  }
  return true;  // the steps after it go on
}

// The lines the run appended to its log: where from and to, each box as it read without the
// spaces around it and with its answer, the menu, what became of each tool file (in any order;
// the cause of a file not placed may be anything), the last box and the exit status. A '*' in
// a line wanted stands for anything.
bool CheckLog(Ctx& c, const Step& s) {
  const auto box = [](const string& text) {
    string line = text.substr(4, text.find_last_not_of(' ') - 3);
    for (size_t at; (at = line.find("\r\n")) != string::npos;) line.replace(at, 2, " / ");
    return line;
  };
  std::vector<string> got,
      want = {"Tessaradyne setup *: from " + Utf8(c.dir.wstring()) + " to C:\\Tessaradyne",
              "question: " + box(kStartQuestion) + " (Yes)",
              s.text ? "error: " + *s.text : "menu: " + kMenu + " written"};
  std::set<string> tools = {kMenu};
  for (const auto& [name, bytes] : c.before)
    if (IsTool(name)) tools.insert(name);
  for (const string& name : s.text ? std::set<string>{} : tools)
    want.push_back(c.unplaced.contains(name) ? "not placed: " + name + ": *"
                   : IsKind(name, ".bmp") && c.old.contains(name)
                       ? "kept: " + name + " (installed before)"
                       : "placed: " + name);
  std::sort(want.begin() + 3, want.end());
  if (!s.text)
    want.push_back(c.unplaced.empty() ? "information: " + box(kDone)
                                      : "warning: " + box(Incomplete(c)));
  want.push_back(F("exit: %lld", s.a));
  const string log = Read(c.Log()).value_or("");
  for (size_t at = 0, end; (end = log.find("\r\n", at)) != string::npos; at = end + 2)
    got.push_back(log.substr(at, end - at));
  // The files' lines, between the menu's and the last box, in the order of `want`.
  bool same = got.size() == want.size();
  if (same) std::sort(got.begin() + 3, got.end() - (s.text ? 1 : 2));
  for (size_t i = 0, star; same && i < got.size(); ++i)
    same = (star = want[i].find('*')) == string::npos
               ? got[i] == want[i]
               : got[i].starts_with(want[i].substr(0, star)) &&
                     got[i].ends_with(want[i].substr(star + 1)) &&
                     got[i].size() >= want[i].size() - 1;
  return c.Shows(same, "log [" + log + "]");
}

std::set<string> TakeMarkers(const fs::path& dir) {
  std::set<string> loaded;
  for (const auto& [name, bytes] : Folder(dir).value_or(Files{}))
    if (name.ends_with(".loaded") && fs::remove(dir / name))
      loaded.insert(name.substr(0, name.size() - 7));
  return loaded;
}

// A screen appears as its layout table designs it, at the window's DPI: 0 the agreement (48
// rows, 次へ disabled), 1 the confirmation (focus on 開始), 2 the progress screen with the start
// question.
bool Arrive(Ctx& c, long long screen) {
  const setup::FormSpec& f = screen == 0 ? F1::Layout() : screen == 1 ? F2::Layout() : F4::Layout();
  c.form = screen < 2 ? WaitTop(c.p, "TessaradyneSetupForm", kTitles[screen])
                      : GetWindow(c.box = WaitTop(c.p, "#32770"), GW_OWNER);
  const string at = string(f.name) + " ";
  if (!c.Check(Name(c.form, true) == "TessaradyneSetupForm", at + "did not appear")) return false;
  const double scale = GetDpiForWindow(c.form) / 72.0;
  const auto off = [&](long px, double pt) { return std::abs(px - std::lround(pt * scale)) > 2; };
  RECT client, frame, work;
  GetClientRect(c.form, &client);
  GetWindowRect(c.form, &frame);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const auto style = GetWindowLongPtrW(c.form, GWL_STYLE) &
                     (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
  c.Shows(Name(c.form) == kTitles[screen], at + "title [" + Name(c.form) + "]");
  c.Check(style == (WS_CAPTION | WS_SYSMENU), at + "frame is not fixed with only a close box");
  c.Check(!off(client.right, f.client_width) && !off(client.bottom, f.client_height),
          F("%sclient area %ldx%ld", at.c_str(), client.right, client.bottom));
  c.Check(std::abs(frame.left + frame.right - work.left - work.right) <= 4 &&
              std::abs(frame.top + frame.bottom - work.top - work.bottom) <= 4,
          F("%snot centred on the work area: at %ld,%ld", at.c_str(), frame.left, frame.top));
  // Wine draws the class's small icon in the title bar, dialog frame or not: our tile's blue
  // shows there. The start question may cover the progress screen's.
  const auto icon = [&] { return Count(c.form, RGB(0x1F, 0x4E, 0x9C), 32) > 20; };
  c.Check(screen == 2 || Until(icon, 2000), at + "not our icon in the title bar");
  static const wchar_t* const kClasses[] = {L"Static", L"Button", L"ListBox", L"msctls_progress32"};
  for (const setup::ControlSpec& e : f.controls) {
    HWND w = GetDlgItem(c.form, 100 + e.id);
    RECT r{};
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, c.form, reinterpret_cast<POINT*>(&r), 2);
    const string name = at + string(e.name) + " ";
    c.Check(w && !off(r.left, e.left) && !off(r.top, e.top) && !off(r.right - r.left, e.width) &&
                !off(r.bottom - r.top, e.height),
            F("%sat %ld,%ld to %ld,%ld", name.c_str(), r.left, r.top, r.right, r.bottom));
    c.Check(!lstrcmpiW(Wide(Name(w, true)).c_str(), kClasses[int(e.kind)]), name + Name(w, true));
    // The run fills the progress screen's label before anyone can see it.
    c.Shows(screen == 2 || Name(w) == e.caption, name + "caption [" + Name(w) + "]");
    c.Check((IsWindowEnabled(w) != 0) == e.enabled, name + "enabled state");
    c.Check(((GetWindowLongPtrW(w, GWL_STYLE) & WS_TABSTOP) != 0) == e.tab_stop, name + "tab stop");
  }
  if (screen == 2) return CheckBox(c, kStartQuestion, '-');
  if (screen == 1) {
    // Its activation is posted after it shows and would undo keys typed before it has run.
    Shot(c.form, "confirmation");
    Sleep(300);
    // Its sentences in the system's text colour (black on the theme's black is unreadable), but
    // the one that tells the user in blue to press 開始.
    for (int label : {F2::Label12, F2::Label8})
      c.Check(Count(GetDlgItem(c.form, 100 + label), GetSysColor(COLOR_BTNTEXT)) > 20,
              F("label %d not in the text colour", label));
    const long blue = Count(GetDlgItem(c.form, 100 + F2::Label9), RGB(0, 0, 255));
    c.Check(blue > 20, F("Label9's text is not blue: %ld blue pixels", blue));
    return c.Check(Until([&] { return FocusId(c.form) == kStart; }, 2000), "focus not on 開始");
  }
  HWND list = GetDlgItem(c.form, 100);
  const auto row = [&](WPARAM i) {
    wchar_t text[256] = L"?";  // rows are short; a longer one shows as "?"
    Ask(list, LB_GETTEXTLEN, i) < 256u && Ask(list, LB_GETTEXT, i, LPARAM(text));
    return Utf8(text);
  };
  Until([&] { return Ask(list, LB_GETCOUNT) >= 48u; }, 5000);
  const std::size_t rows = Ask(list, LB_GETCOUNT).value_or(0);
  c.Shows(rows == 48 && row(0).empty() && row(47) == "以上",
          F("%zu rows, the second [%s]", rows, row(1).c_str()));
  Shot(c.form, "agreement");
  return c.Check(!IsWindowEnabled(GetDlgItem(c.form, kNext)), "次へ enabled before 同意する");
}

bool Do(Ctx& c, const Step& s) {
  HWND item = GetDlgItem(c.form, int(s.a)), shown = nullptr;
  HWND on = IsWindowVisible(c.box) ? c.box : c.form;  // the open box takes the keys
  std::optional<DWORD> code;
  if (s.op == kScreen) return Arrive(c, s.a);
  if (s.op == kClick) return PostMessageW(item, BM_CLICK, 0, 0);
  if (s.op == kRun) return FollowRun(c, s);
  if (s.op == kLog) return CheckLog(c, s);
  if (s.op == kInstalled || s.op == kUntouched) return CheckFiles(c, s.op == kInstalled);
  if (s.op == kPost) return PostMessageW(c.form, UINT(s.a), WPARAM(s.b), 0);
  if (s.op == kEndLoop)
    return PostThreadMessageW(GetWindowThreadProcessId(c.form, 0), WM_QUIT, 0, 0);
  if (s.op == kSend)
    return c.Check(Ask(c.form, UINT(s.a), WPARAM(s.b), 0, 9999) == 1u || s.a == WM_ENDSESSION,
                   "session end refused");
  if (s.op == kEnabled)
    return c.Check(Until([&] { return (IsWindowEnabled(item) != 0) == (s.b != 0); }, 3000),
                   Name(item) + (s.b ? " stays disabled" : " stays enabled"));
  if (s.op == kBox)
    return c.Check(c.box = WaitTop(c.p, "#32770"), "no box [" + *s.text + "]") &&
           CheckBox(c, *s.text, char(s.b), s.a);
  if (s.op == kAnswer) {
    PostMessageW(GetDlgItem(c.box, int(s.a)), BM_CLICK, 0, 0);
    return c.Check(Until([&] { return !IsWindow(c.box); }, 5000), "the box stays");
  }
  if (s.op == kKey) {
    // Keys as typed, into the window in front; a held Enter is a WM_KEYDOWN with the repeat
    // bit, posted through the message loop of the program or of its message box.
    const long long want = s.a ? s.b : FocusId(on);
    SetForegroundWindow(on);
    if (!s.a) PostMessageW(GetDlgItem(on, int(want)), WM_KEYDOWN, VK_RETURN, 1 | 1 << 30);
    for (const auto& [vk, up] :
         {std::pair{VK_SHIFT, 0}, {int(s.a), 0}, {int(s.a), 2}, {VK_SHIFT, 2}})
      if (s.a && (vk != VK_SHIFT || s.a == kShiftTab)) keybd_event(BYTE(vk), 0, DWORD(up), 0);
    // Esc and a held Enter are to do nothing: give them the time to do something wrong.
    if (!s.a || s.a == VK_ESCAPE) Sleep(400);
    return s.b < 0 || c.Check(!FindTop(c.p, "#32770", "", {c.box}) &&
                                  Until([&] { return FocusId(on) == want; }, 2000),
                              F("key %lld (0 a held Enter): a box, or focus on %d, want %lld", s.a,
                                FocusId(on), want));
  }
  if (s.op == kSecond) {
    // With the first setup.exe on its agreement screen, put behind the desktop, a second one
    // from another copy must leave with 4 and show nothing.
    const fs::path copy = c.dir.wstring() + L"-2";
    SetForegroundWindow(GetDesktopWindow());
    // No control of a screen in the background has the focus: Enter has no button to press.
    c.Check(Ask(c.form, DM_GETDEFID) == 0u, "DM_GETDEFID in the background named a button");
    // One that does not start ends with nothing.
    const Handle second =
        Lay(copy, c.before) ? Start(copy / "setup.exe", s.a ? L" /S" : L"") : Handle();
    Until([&] { return (code = ExitCode(second, 0)) || (shown = FindTop(second)); }, 5000);
    c.Check(!shown && code == 4u && Folder(copy) == c.before,
            F("the second setup.exe showed %s, ended with %ld or changed its folder",
              Named(shown).c_str(), long(code.value_or(~0u))));
    if (!code) TerminateProcess(second.get(), 1);
    // It was sent back first: only the second can have brought it to the front.
    return c.Check((GetForegroundWindow() == c.form) != (s.a != 0),
                   s.a ? "a silent setup.exe brought the first forward"
                       : "the first setup.exe's screen is behind");
  }
  if (s.op == kQuiet || s.op == kExit) {
    // A quiet run is polled through, so that a window shown for a moment is caught. After the
    // screens, a further screen or box would wait for an answer: it is there if the exit is not.
    for (; s.op == kQuiet && !(code = ExitCode(c.p, 0)) && GetTickCount64() < c.started + 10000;
         Sleep(2))
      shown = shown ? shown : FindTop(c.p, "", "", {}, true);
    if (s.op == kExit) code = ExitCode(c.p, 10000), shown = FindTop(c.p, "", "", {c.form, c.box});
    const ULONGLONG took = GetTickCount64() - c.started;
    return c.Check(!shown && code == DWORD(s.a) && (s.op == kExit || took < 4000),
                   F("exit status %ld, want %lld, after %llu ms; shown: %s",
                     long(code.value_or(~0u)), s.a, took, Named(shown).c_str()));
  }
  if (s.op == kMarkers) {
    string beyond;
    for (const string& name : TakeMarkers(c.dir))
      beyond += c.floor.contains(name) ? "" : name + " ";
    for (const string& name : c.floor) c.Say("Wine itself loads the planted " + name);
    return c.Check(beyond.empty(), "setup.exe loaded planted DLLs: " + beyond);
  }
  // The program's Win32 layer on its own; no other step is left.
  if (s.op == kPlatform)
    setup::win32::CheckPlatform(
        std::bind_front(&Ctx::Check, &c),
        Utf8((fs::path(opt[L"cross"]) / F("platform-%u", GetACP())).wstring()));
  return c.Check(s.op == kPlatform, F("no step %d", s.op));
}

// The face and text colours of a high-contrast theme, or those from before. Wine takes them, but
// reports no such theme on (SPI_GETHIGHCONTRAST), nor lets one be set.
void Contrast(bool on) {
  static const int kElements[] = {COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_WINDOWTEXT};
  static COLORREF before[3], theme[] = {RGB(0, 0, 0), RGB(255, 255, 0), RGB(255, 255, 0)};
  for (int i = 0; on && i < 3; ++i) before[i] = GetSysColor(kElements[i]);
  SetSysColors(3, kElements, on ? theme : before);
}

// Lays out the scenario's distribution and drive C:, then starts setup.exe.
bool Prepare(Ctx& c) {
  const unsigned p = c.s.prep;
  const fs::path programs = opt[L"programs"];
  if (p & kNoSetup) return true;
  // From another drive, at its root: the program's folder keeps its backslash there ("E:\\").
  c.dir = p & kCrossDrive ? fs::path(opt[L"cross"]) : fs::path(opt[L"work"]) / c.s.name;
  Files files = Folder(opt[L"dist"]).value_or(Files{});
  files["setup.exe"] = Read(opt[L"setup"]).value_or("");
  if (p & kNoOrgTool) files.erase("org_TOOL");
  for (const char* name : {"dll_probe.exe", "minimal_window.exe"})
    if (p & kPlant) files[name] = Read(programs / name).value_or("");
  if (p & kPlant) files.merge(Folder(programs / "planted").value_or(Files{}));
  if (p & kOld) c.old = {{"notes.txt", "the user's own notes\r\n"}, {kMenu, "old menu"}};
  string dvb, bmp;
  const bool laid = Lay(c.dir, files);
  for (const auto& [name, bytes] : files) {
    if (IsKind(name, ".dvb") && dvb.empty()) dvb = name;
    if (IsKind(name, ".bmp") && bmp.empty()) bmp = name;
    if ((p & kOld) && (IsKind(name, ".dvb") || name == bmp)) c.old[name] = "old " + name;
    if ((p & kLink) && IsTool(name)) c.unplaced.insert(name);
    if ((p & kCrossDrive) && IsTool(name))
      c.Check(SetFileAttributesW((c.dir / name).c_str(), FILE_ATTRIBUTE_READONLY) &&
                  GetFileAttributesW((c.dir / name).c_str()) & FILE_ATTRIBUTE_READONLY,
              name + " is not read-only");
  }
  c.Check(laid && Lay(kInstall, c.old) && Lay(kElsewhere, {}), "could not lay out the folders");
  c.before = Folder(c.dir).value_or(Files{});
  const auto hold = [&](const string& name, DWORD access, DWORD sharing) {
    const HANDLE h = CreateFileW((c.dir / name).c_str(), access, sharing, 0, OPEN_EXISTING, 0, 0);
    c.Check(c.held.emplace_back(h).valid(), "could not hold " + name + " open");
  };
  if (p & kLocked) hold(*c.unplaced.insert(dvb).first, GENERIC_READ, 0);
  if (p & kHeldTemplate) hold("org_TOOL", GENERIC_WRITE, FILE_SHARE_READ);
  if (p & kBriefLock) hold(dvb, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (p & kContrast) Contrast(true);
  if (p & kMutex) c.held.emplace_back(CreateMutexW(0, 0, L"Global\\Kestrelwin.Tessaradyne.Setup"));
  c.Check(!(p & kMenuBlocked) ||
              (fs::create_directory(c.dir / kMenu) && Write(c.dir / kMenu / "keep.txt", "keep")),
          "could not put a folder where the menu file goes");
  const auto linked = [] { return GetFileAttributesW(kInstall.c_str()) == 0x410; };  // folder, link
  c.Check(!(p & kLink) || (c.unplaced.insert(kMenu).second && fs::create_directory(kElsewhere) &&
                           Host("ln", {L"-s", kElsewhere, kInstall}, linked)),
          "C:\\Tessaradyne does not show as a link (a reparse point)");
  // The probe loads version.dll the unhardened way: its marker shows the plant works here. A
  // one-window program shows which ones Wine's own start-up loads for any program.
  if (p & kPlant) ExitCode(Start(c.dir / "dll_probe.exe"), 20000);
  c.Check(!(p & kPlant) || TakeMarkers(c.dir).contains("version.dll"), "no planted DLL loaded");
  if (p & kPlant) ExitCode(Start(c.dir / "minimal_window.exe", L" quit"), 9999);
  c.floor = TakeMarkers(c.dir);
  // What setup.exe loads itself, from System32, never counts as Wine's doing: a plant it picks up
  // from its own folder must show even if a one-window program picks it up too.
  for (const char* own : {"comctl32.dll", "uxtheme.dll", "dwmapi.dll", "msimg32.dll"})
    c.floor.erase(own);
  // The arguments a deployment tool passes; the log beside the distribution, not in it.
  fs::remove(c.Log());
  const std::wstring args = std::wstring(p & kSilent ? L" /S" : L"") +
                            (p & kLogged ? L" \"/log=" + c.Log().wstring() + L"\"" : L"") +
                            (p & kBogus ? L" /bogus" : L"");
  c.started = GetTickCount64();
  return c.fails.empty() &&
         c.Check((c.p = Start(c.dir / "setup.exe", args)).valid(), "setup.exe did not start");
}

// clang-format off
const Steps kToConfirmation = {{kScreen, 0}, {kClick, kAgree}, {kEnabled, kNext, 1},
    {kClick, kDisagree}, {kEnabled, kNext, 0}, {kClick, kAgree}, {kEnabled, kNext, 1},
    {kClick, kNext}, {kScreen, 1}};
const Steps kToQuestion = kToConfirmation + Steps{{kClick, kStart}, {kScreen, 2}};
const Steps kInstalls = {{kRun}, {kExit, 0}, {kInstalled}}, kLeft = {{kExit, 2}, {kUntouched}},
    kFailed = {{kExit, 1}, {kUntouched}};
const Step kQuestion = {kBox, 0, '-', &kStartQuestion}, kLeaveBox = {kBox, 0, '-', &kLeaveQuestion};

const Scenario kScenarios[] = {
    {"happy", 0, kToQuestion + kInstalls},
    {"no-then-yes", 0, kToQuestion + Steps{{kAnswer, IDNO}, {kScreen, 1}, {kUntouched},
        {kClick, kStart}, {kScreen, 2}} + kInstalls},
    {"closes-refused-while-busy", 0, kToQuestion + Steps{{kRun, 1}, {kExit, 0}, {kInstalled}}},
    {"activation-posted", 0, kToQuestion + Steps{{kRun, 2}, {kExit, 0}, {kInstalled}}},
    {"leave-at-agreement", 0, Steps{{kScreen, 0}, {kClick, kLeave}} + kLeft},
    {"close-box-at-agreement", 0, Steps{{kScreen, 0}, {kPost, WM_SYSCOMMAND, SC_CLOSE}} + kLeft},
    {"leave-at-confirmation", 0, kToConfirmation + Steps{{kClick, kQuit}, kLeaveBox,
        {kAnswer, IDNO}, {kKey, VK_ESCAPE, kQuit}, {kClick, kQuit}, kLeaveBox, {kAnswer, IDYES}} +
        kLeft},
    {"high-contrast", kContrast, kToConfirmation + Steps{{kClick, kQuit}, kLeaveBox,
        {kAnswer, IDYES}} + kLeft},
    // Tab order over enabled buttons only, never the list; Esc and a held Enter do nothing, on the
    // screens and on the questions.
    {"keyboard", 0, Steps{{kScreen, 0}, {kKey, VK_ESCAPE, kLeave}, {kKey, VK_TAB, kAgree},
        {kKey, VK_TAB, kDisagree}, {kKey, VK_TAB, kLeave}, {kKey, kShiftTab, kDisagree},
        {kKey, VK_ESCAPE, kDisagree}, {kKey, kShiftTab, kAgree}, {kKey, VK_RETURN, kAgree},
        {kEnabled, kNext, 1}, {kKey, VK_TAB, kDisagree}, {kKey, VK_TAB, kNext},
        {kKey, VK_TAB, kLeave}, {kKey, kShiftTab, kNext}, {kKey, kShiftTab, kDisagree},
        {kKey, VK_SPACE, kDisagree}, {kEnabled, kNext, 0}, {kKey, kShiftTab, kAgree},
        {kKey, VK_SPACE, kAgree}, {kEnabled, kNext, 1}, {kKey, VK_TAB, kDisagree},
        {kKey, VK_TAB, kNext}, {kKey, 0, 0}, {kKey, VK_RETURN, -1}, {kScreen, 1},
        {kKey, VK_TAB, kQuit}, {kKey, VK_TAB, kStart}, {kKey, kShiftTab, kQuit},
        {kKey, VK_ESCAPE, kQuit}, {kKey, 0, 0}, {kKey, VK_RETURN, -1}, kLeaveBox, {kKey, 0, 0},
        {kAnswer, IDNO}, {kKey, VK_ESCAPE, kQuit}, {kKey, VK_TAB, kStart}, {kKey, VK_RETURN, -1},
        {kScreen, 2}, {kKey, 0, 0}, {kAnswer, IDNO}, {kScreen, 1}, {kKey, VK_TAB, kQuit},
        {kKey, VK_RETURN, -1}, kLeaveBox, {kAnswer, IDYES}} + kLeft},
    {"missing-template", kNoOrgTool, kToQuestion + Steps{{kRun, 0, 0, &kNoTemplateBox}} + kFailed},
    {"menu-file-blocked", kMenuBlocked,
        kToQuestion + Steps{{kRun, 0, 0, &kUnwritableBox}} + kFailed},
    {"reinstall", kOld, kToQuestion + kInstalls},
    {"locked-file", kLocked, kToQuestion + Steps{{kRun}, {kExit, 3}, {kInstalled}}},
    {"planted-dlls", kPlant, kToQuestion + Steps{{kRun}, {kExit, 0}, {kMarkers}, {kInstalled}}},
    {"close-at-start-question", 0, kToQuestion + Steps{{kPost, WM_CLOSE}} + kLeft},
    {"session-end-at-start-question", 0, kToQuestion + Steps{{kSend, WM_QUERYENDSESSION}, kQuestion,
        {kSend, WM_ENDSESSION, TRUE}} + kLeft},
    {"cancelled-session-end", 0, kToQuestion + Steps{{kSend, WM_QUERYENDSESSION},
        {kSend, WM_ENDSESSION, FALSE}, kQuestion} + kInstalls},
    {"close-at-leave-question", 0, kToConfirmation + Steps{{kClick, kQuit}, kLeaveBox,
        {kPost, WM_CLOSE}} + kLeft},
    {"second-instance", 0, Steps{{kScreen, 0}, {kSecond}} + kToQuestion + kInstalls},
    {"setup-already-running", kMutex, {{kBox, 0, 'i', &kAlreadyRunning}, {kAnswer, IDOK},
        {kExit, 4}, {kUntouched}}},
    {"read-only-cross-drive", kCrossDrive, kToQuestion + kInstalls},
    {"held-template", kHeldTemplate, kToQuestion + kInstalls},
    {"brief-lock", kBriefLock, kToQuestion + kInstalls},
    {"install-folder-is-link", kLink, kToQuestion + Steps{{kRun}, {kExit, 3}, {kInstalled}}},
    {"platform", kNoSetup, {{kPlatform}}},
    {"silent", kSilent | kLogged, {{kQuiet, 0}, {kInstalled}, {kLog, 0}}},
    {"silent-missing-template", kSilent | kLogged | kNoOrgTool, {{kQuiet, 1}, {kUntouched},
        {kLog, 1, 0, &kNoTemplateBox}}},
    {"silent-second", 0, Steps{{kScreen, 0}, {kSecond, 1}, {kClick, kLeave}} + kLeft},
    {"silent-reinstall", kSilent | kLogged | kOld, {{kQuiet, 0}, {kInstalled}, {kLog, 0}}},
    {"log-with-screens", kLogged, kToQuestion + kInstalls + Steps{{kLog, 0}}},
    {"unknown-argument", kBogus,
        Steps{{kBox, 1, 'e', &kUnknownArgument}, {kAnswer, IDOK}} + kFailed},
    {"unknown-argument-silently", kSilent | kBogus, {{kQuiet, 1}, {kUntouched}}},
    {"loop-ended", 0,
        Steps{{kScreen, 0}, {kEndLoop}, {kBox, 1, 'e', &kUnexpected}, {kAnswer, IDOK}} + kFailed},
};
// clang-format on

}  // namespace

int wmain(int argc, wchar_t** argv) {
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  setvbuf(stdout, nullptr, _IONBF, 0);
  for (const std::wstring arg : std::vector(argv + 1, argv + argc))
    opt[arg.substr(0, arg.find(L'='))] = arg.substr(std::min(arg.find(L'='), arg.size() - 1) + 1);
  std::printf("code page %u, %u dpi\n", GetACP(), GetDpiForSystem());
  int passed = 0, failed = 0;
  for (const Scenario& s : kScenarios) {
    // only=a,b or else part=i/n: every n-th scenario from the i-th but planted-dlls, which needs
    // Wine set up for it.
    const std::wstring only = L"," + opt[L"only"] + L",", part = opt[L"part"] + L"1/1";
    if (only == L",," ? (s.prep & (kPlant | kNoSetup)) ||
                            (&s - kScenarios) % (part[2] - L'0') != part[0] - L'1'
                      : only.find(L"," + Wide(s.name) + L",") == std::wstring::npos)
      continue;
    Ctx c{s};
    const double start = double(GetTickCount64());
    for (bool going = Prepare(c); const Step& step : s.steps) going = going && Do(c, step);
    if (c.p.valid() && !ExitCode(c.p, 0) && !c.Check(false, "setup.exe still ran; ended it"))
      TerminateProcess(c.p.get(), 99) && ExitCode(c.p, 5000);
    if (s.prep & kLink) Host("rm", {L"-f", kInstall}, [] { return !fs::exists(kInstall); });
    if (s.prep & kContrast) Contrast(false);
    std::printf("%s %s (%.1f s)\n", c.fails.empty() ? "PASS" : "FAIL", s.name,
                (double(GetTickCount64()) - start) / 1000);
    for (const string& f : c.fails) std::printf("  - %s\n", f.c_str());
    ++(c.fails.empty() ? passed : failed);
  }
  std::printf("e2e: %d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
