#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"
#include "setup/screens/user_form1.h"
#include "setup/screens/user_form2.h"
#include "setup/screens/user_form4.h"
#include "tests/texts.h"

namespace e2e {
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
const string kMenu = "TessaradyneTOOL.mns";
const fs::path kInstall = L"C:\\Tessaradyne", kElsewhere = L"C:\\elsewhere",
               kVictim = kElsewhere / L"victim";  // what a link leads to
const string kVictims = "someone else's file";
// Control IDs are 100 + the entry's index in its screen's layout table.
constexpr int kNext = 100 + F1::Command1, kLeave = 100 + F1::Command2, kAgree = 100 + F1::Command3,
              kDisagree = 100 + F1::Command4, kStart = 100 + F2::CommandButton1,
              kQuit = 100 + F2::CommandButton2, kBar = 100 + F4::ProgressBar1,
              kLabel = 100 + F4::Label1, kShiftTab = VK_TAB | 0x100;  // Tab with Shift held

extern std::map<std::wstring, std::wstring> opt;  // the name=value arguments

template <class... A>
string F(const char* format, A... args) {
  char text[2048];
  snprintf(text, sizeof text, format, args...);
  return text;
}

// A step of a scenario, which Do (steps.cpp) carries out: an action or a check. The table reads
// them through the makers below; a and b are numbers, text a message.
// clang-format off
enum Op { kScreen, kClick, kEnabled, kKey, kHeldEnter, kBox, kAnswer, kRun, kRunClosing,
          kRunActivating, kPost, kSend, kEndLoop, kSecond, kExit, kQuiet, kLog, kInstalled,
          kUntouched, kMarkers, kPlatform };
// clang-format on

struct Ctx;
struct Step {
  Op op;
  long long a = 0, b = 0;
  const string* text = nullptr;
};
using Steps = std::vector<Step>;

// clang-format off
// A screen appears as its layout table designs it: 0 the agreement (48 rows, 次へ disabled), 1 the
// confirmation (blue sentence, focus on 開始), 2 the progress screen under the start question.
inline Step Screen(int n) { return {kScreen, n}; }
inline Step Click(int control) { return {kClick, control}; }
inline Step Enabled(int control, bool enabled) { return {kEnabled, control, enabled}; }
// A key typed into the window in front, leaving the focus on `focused`; -1: the window goes.
inline Step Key(int vk, int focused = -1) { return {kKey, vk, focused}; }
// Enter held down (the repeat bit), which presses nothing, on the open box if there is one.
inline Step HeldEnter() { return {kHeldEnter}; }
// The open box: titled SETUP, reading `text`, with `icon` ('-' none, with Yes and No; 'i', 'w' or
// 'e' with OK), owned by its screen. BoxStarting takes any owner and the text as a beginning.
inline Step Box(const string& text, char icon) { return {kBox, 0, icon, &text}; }
inline Step BoxStarting(const string& text, char icon) { return {kBox, 1, icon, &text}; }
inline Step Answer(int button) { return {kAnswer, button}; }
// Yes, then the run to its last box, answered OK: the outcome's box, or the abort message.
inline Step Run(const string* abort = nullptr) { return {kRun, 0, 0, abort}; }
// The same while the close box, WM_CLOSE and WM_QUERYENDSESSION try to end it.
inline Step RunTryingToClose() { return {kRunClosing}; }
// The same with the screens' activation message posted from outside while the bar stands at 10.
inline Step RunWithActivationPosted() { return {kRunActivating}; }
// A message posted or sent to the screen; a sent one but WM_ENDSESSION must be answered TRUE.
inline Step Post(UINT message, WPARAM wp = 0) { return {kPost, message, (long long)wp}; }
inline Step Send(UINT message, WPARAM wp = 0) { return {kSend, message, (long long)wp}; }
inline Step EndLoop() { return {kEndLoop}; }  // WM_QUIT to the screen's thread
// A second setup.exe from another copy leaves at once with 1618, showing nothing, and brings the
// first to the front; silently (/S), it leaves the first where it is.
inline Step Second(bool silently = false) { return {kSecond, silently}; }
// The exit status; no further window may be left open instead.
inline Step Exits(int code) { return {kExit, code}; }
// The exit status, well within the run's designed pauses, with no window of the process at any
// moment.
inline Step QuietlyExits(int code) { return {kQuiet, code}; }
// The log holds the run's lines and the exit status; with `abort`, the run ends with that message.
inline Step Logs(int code, const string* abort = nullptr) { return {kLog, code, 0, abort}; }
// The log holds its first line, `line` and the exit status: the run did nothing.
inline Step LogsOnly(int code, const string& line) { return {kLog, code, 1, &line}; }
inline Step Installed() { return {kInstalled}; }  // files where the outcome puts them
inline Step Untouched() { return {kUntouched}; }  // nothing written anywhere
// No planted DLL loaded beyond those a one-window program loads.
inline Step Markers() { return {kMarkers}; }
// The program's Win32 layer on its own (win32_layer_checks.cpp).
inline Step Platform() { return {kPlatform}; }
// clang-format on

// Preparations that Prepare (steps.cpp) makes, each for several scenarios; a scenario's own go in
// an arrange function beside its row. No template; an older install in C:\Tessaradyne; three .dvb
// files held without delete sharing for the whole run; the distribution on another file system
// with its tool files read-only; no setup.exe at all; /S, /log= beside the distribution, /bogus;
// the distribution in C:\Tessaradyne itself, started there; a .dvb that is a second name of a
// file elsewhere on C:.
// clang-format off
enum Prep : unsigned { kNoOrgTool = 1, kOld = 2, kLocked = 4, kCrossDrive = 8, kNoSetup = 16,
                       kSilent = 32, kLogged = 64, kBogus = 128, kInPlace = 256,
                       kLinkedTool = 512 };
// clang-format on

// What a scenario needs of the system it runs on; without it, it is skipped with a line saying
// why (needs.cpp): Windows itself, not Wine; an administrator; a second volume, to which moves
// copy; the install folder's volume for the work folder, so that moves rename; 144 dpi; DLLs
// beside a program loaded before the system's; the work folder on NTFS, or on FAT32 or exFAT (a
// USB stick); the Cloud Files API (Windows 10 1709 and later).
// clang-format off
enum Need : unsigned { kWindows = 1, kAdmin = 2, kSecondVolume = 4, kOneVolume = 8, kDpi144 = 16,
                       kPlantable = 32, kNtfs = 64, kFat = 128, kCloudFiles = 256 };
// clang-format on

struct Scenario {
  const char* name;
  unsigned prep;
  Steps steps;
  unsigned needs = 0;
  const char* wine_lacks = nullptr;  // with kWindows: what Wine does not do as Windows does
  void (*arrange)(Ctx&) = nullptr;   // more preparation, just before setup.exe starts
};

struct Ctx {
  const Scenario& s;
  std::vector<string> fails;
  fs::path dir;                      // the folder setup.exe runs from
  fs::path log, log_file;            // the /log= path, and where the driver reads it
  Files before, old;                 // it and C:\Tessaradyne before the run
  std::set<string> unplaced, floor;  // tool files the run cannot place; planted DLLs that any
                                     // windowed program loads
  std::vector<Handle> held;
  std::vector<std::function<void()>> undo;  // what arrange did outside the work folder, undone
  bool brief_lock = false;  // the held files are let go half a second into deployment
  bool victim = false;      // someone else's file, which a link leads to, must stay as it was
  Handle p;
  int show = -1;            // the show state setup.exe is started with, if any
  std::wstring desktop;     // the desktop setup.exe is started on, if not the driver's
  HDESK watch = nullptr;    // that desktop, where a quiet run's windows are looked for
  bool watch_hung = false;  // whether the run is polled with IsHungAppWindow, unpinged
  ULONGLONG started = 0;
  HWND form = nullptr, box = nullptr;

  bool Check(bool ok, const string& what) { return ok || (fails.push_back(what), false); }
  void Say(const string& l) const { opt[L"verbose"].empty() || std::printf("  %s\n", l.data()); }
  // A check whose message says what it saw, which verbose=1 prints.
  bool Shows(bool ok, const string& what) { return Say(what), Check(ok, what); }
};

// processes.cpp
bool Until(const std::function<bool()>& done, double ms);
Handle Start(const fs::path& exe, std::wstring args = L"", const wchar_t* desktop = nullptr,
             int show = -1);
std::optional<DWORD> ExitCode(const Handle& p, DWORD ms);
bool Host(const char* program, const std::vector<std::wstring>& args,
          const std::function<bool()>& done);
string Name(HWND w, bool of_class = false);
string Named(HWND w);
HWND FindTop(const Handle& p, const string& cls = "", const string& title = "",
             const std::set<HWND>& except = {}, bool hidden = false);
HWND WaitTop(const Handle& p, const string& cls, const string& title = "");
HWND FindOn(HDESK desktop, const Handle& p);
std::optional<DWORD_PTR> Ask(HWND w, UINT message, WPARAM wp = 0, LPARAM lp = 0, UINT ms = 3000);
const char* WineVersion();
bool Wine();
int FocusId(HWND form);
// pixels.cpp
long Count(HWND w, COLORREF colour, long corner = LONG_MAX);
char IconOf(HWND box);
void Shot(HWND w, const char* name);
// files.cpp
std::optional<string> Read(const fs::path& path);
bool Write(const fs::path& path, const string& bytes);
std::optional<Files> Folder(const fs::path& folder);
bool Lay(const fs::path& folder, const Files& files);
bool Exists(const fs::path& path);
bool IsKind(const string& name, const char* ending);
bool IsTool(const string& name);
bool IsLink(const fs::path& path);
DWORD ReparseTag(const fs::path& path);
bool Remove(const fs::path& path);
bool SecondName(const fs::path& at);
string Dacl(const fs::path& path);
bool SetDacl(const fs::path& path, const wchar_t* dacl);
// checks.cpp
bool CheckBox(Ctx& c, const string& text, char icon, bool loose = false);
bool FollowRun(Ctx& c, const Step& s);
bool CheckFiles(Ctx& c, bool installed);
bool CheckLog(Ctx& c, const Step& s);
bool Arrive(Ctx& c, long long screen);
// steps.cpp
bool Prepare(Ctx& c);
bool Do(Ctx& c, const Step& s);
void Hold(Ctx& c, const string& name, DWORD access, DWORD sharing);
std::set<string> TakeMarkers(const fs::path& dir);
// scenarios.cpp, windows_only.cpp
Steps operator+(Steps a, const Steps& b);
extern const Steps kToConfirmation, kToQuestion, kInstalls, kLeft, kFailed, kRefused;
extern const std::vector<Scenario> kScenarios;
std::vector<Scenario> WindowsOnly();
// needs.cpp
string SkipReason(const Scenario& s);
// package.cpp
bool Claim(const fs::path& folder);
bool PackageBegin();
bool PackageEnd();
fs::path RealSystem32();
}  // namespace e2e
