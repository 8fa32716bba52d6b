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

// Steps, which Do (steps.cpp) carries out; a and b are numbers, text a message:
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
//   kSecond      a second setup.exe from another copy leaves at once with 1618, showing nothing and
//                bringing the first to the front; a: 1 silently, leaving the first where it is
//   kExit        a: exit status; no further window may be left open instead
//   kQuiet       a: exit status, reached well within the run's designed pauses, with no window of
//                the process at any moment
//   kLog         a: exit status; the log holds the run's lines; text: the abort message it ends
//                with instead of the outcome's, or with b: 1 the one line of a run that did nothing
//   kInstalled   files where the outcome puts them
//   kUntouched   nothing written anywhere
//   kMarkers     no planted DLL loaded beyond those a one-window program loads
//   kPlatform    the program's Win32 layer on its own (win32_layer_checks.cpp)
//   kCall        the step's own check
// clang-format off
enum Op { kScreen, kClick, kEnabled, kKey, kBox, kAnswer, kRun, kPost, kSend,
          kEndLoop, kSecond, kExit, kQuiet, kLog, kInstalled, kUntouched, kMarkers, kPlatform,
          kCall };
// clang-format on

struct Ctx;
struct Step {
  Op op;
  long long a = 0, b = 0;
  const string* text = nullptr;
  bool (*check)(Ctx&) = nullptr;
};
using Steps = std::vector<Step>;

// Preparations, which Prepare (steps.cpp) makes: no template; a folder where the menu file goes,
// so it cannot be put there; an older install in C:\Tessaradyne; three .dvb files held without
// delete sharing for the whole run; org_TOOL held open for writing, shared for reading; the
// distribution on another file system with its tool files read-only; C:\Tessaradyne a host
// symbolic link; DLLs named like system ones beside setup.exe; the one-setup mutex held by the
// driver; high-contrast colours; a .dvb held without delete sharing until deployment has started;
// /S, /log= beside the distribution, /bogus; an event holding the one-setup mutex's name; the
// distribution in C:\Tessaradyne itself, started there; the log in a new folder of the real
// System32, which a 32-bit program sees only without redirection; a .dvb that is a host symbolic
// link to a file elsewhere on C:; the /log= path such a link.
// clang-format off
enum Prep : unsigned { kNoOrgTool = 1, kMenuBlocked = 2, kOld = 4, kLocked = 16,
                       kHeldTemplate = 32, kCrossDrive = 64, kLink = 128, kPlant = 256,
                       kNoSetup = 512, kMutex = 1024, kContrast = 2048, kBriefLock = 4096,
                       kSilent = 8192, kLogged = 16384, kBogus = 32768,
                       kSquat = 1 << 17, kInPlace = 1 << 18, kSystem32Log = 1 << 19,
                       kLinkedTool = 1 << 20, kLinkedLog = 1 << 21 };
// clang-format on

// What a scenario needs of the system it runs on; without it, it is skipped with a line saying
// why (package.cpp): Windows itself, not Wine; Wine, whose host programs it runs; an
// administrator; a second volume, to which moves copy; the install folder's volume for the work
// folder, so that moves rename; the ANSI code page 932 or 1252; 144 dpi; DLLs beside a program
// loaded before the system's; the work folder on NTFS, or on FAT32 or exFAT (a USB stick); the
// Cloud Files API (Windows 10 1709 and later).
// clang-format off
enum Need : unsigned { kWindows = 1, kHostPrograms = 2, kAdmin = 4, kSecondVolume = 8,
                       kOneVolume = 16, kCodePage932 = 32, kCodePage1252 = 64, kDpi144 = 128,
                       kPlantable = 256, kNtfs = 512, kFat = 1024, kCloudFiles = 2048 };
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
bool IsKind(const string& name, const char* ending);
bool IsTool(const string& name);
bool IsLink(const fs::path& path);
DWORD ReparseTag(const fs::path& path);
bool Remove(const fs::path& path);
bool SetJunction(const fs::path& folder, const fs::path& target);
// checks.cpp
bool CheckBox(Ctx& c, const string& text, char icon, bool loose = false);
bool FollowRun(Ctx& c, const Step& s);
bool CheckFiles(Ctx& c, bool installed);
bool CheckLog(Ctx& c, const Step& s);
bool Arrive(Ctx& c, long long screen);
// steps.cpp
bool Prepare(Ctx& c);
bool Do(Ctx& c, const Step& s);
HDESK HiddenDesktop();
HDESK OtherDesktop();
inline constexpr const wchar_t* kOtherDesktop = L"tessaradyne-e2e";
void Contrast(bool on);
// scenarios.cpp, windows_only.cpp
Steps operator+(Steps a, const Steps& b);
extern const Steps kToConfirmation, kToQuestion, kInstalls, kLeft;
extern const std::vector<Scenario> kScenarios;
std::vector<Scenario> WindowsOnly();
// package.cpp
bool PackageBegin();
bool PackageEnd();
string SkipReason(const Scenario& s);
fs::path RealSystem32();
}  // namespace e2e
