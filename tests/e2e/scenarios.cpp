// The scenarios, a row each: the preparations they share, their own (an arrange function beside
// the row) and steps, as driver.h describes them.

#include <array>

#include "tests/e2e/driver.h"

namespace e2e {
Steps operator+(Steps a, const Steps& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

namespace {
const string kNoTemplateBox = kNoTemplate + kAbort;
const string kUnknownArgument = "不明な引数です: /bogus";
const string kExtractFirstLine = LoggedBox(kExtractFirst);

// org_TOOL held open for writing, shared for reading, as an editor holds it.
void HoldTemplate(Ctx& c) {
  Hold(c, "org_TOOL", GENERIC_WRITE, FILE_SHARE_READ);
}

// A .dvb held without delete sharing, as a scanner does, let go half a second into deployment.
void LockBriefly(Ctx& c) {
  c.brief_lock = true;
  for (const auto& [name, bytes] : c.before)
    if (IsKind(name, ".dvb"))
      return Hold(c, name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
}

// C:\Tessaradyne a link to C:\elsewhere: under Wine a symbolic link made on the host, which Wine
// shows as a reparse point; on Windows a junction (a mount point), which any user may make on a
// folder of his. Nothing may be placed through it.
void LinkInstallFolder(Ctx& c) {
  for (const auto& [name, bytes] : c.before)
    if (IsTool(name)) c.unplaced.insert(name);
  c.unplaced.insert(kMenu);
  const auto linked = [] { return GetFileAttributesW(kInstall.c_str()) == 0x410; };  // folder, link
  const std::wstring junction =
      L" /c mklink /J " + kInstall.wstring() + L" " + kElsewhere.wstring();
  c.Check(fs::create_directory(kElsewhere) &&
              (Wine() ? Host("ln", {L"-s", kElsewhere, kInstall}, linked)
                      : ExitCode(Start(RealSystem32() / L"cmd.exe", junction), 10000) && linked()),
          "C:\\Tessaradyne does not show as a link (a reparse point)");
  c.undo.push_back([] { Host("rm", {L"-f", kInstall}, [] { return !fs::exists(kInstall); }); });
}

// DLLs named like system ones beside setup.exe. A one-window program, as a probe, loads version.dll
// the unhardened way: its marker shows the plant works here. Started plainly, it shows which ones
// Wine's own start-up loads for any program; what setup.exe loads itself from System32 never
// counts as Wine's doing.
void PlantDlls(Ctx& c) {
  const fs::path programs = opt[L"programs"];
  Files planted = Folder(programs / "planted").value_or(Files{});
  planted["minimal_window.exe"] = Read(programs / "minimal_window.exe").value_or("");
  for (const auto& [name, bytes] : planted) c.Check(Write(c.dir / name, bytes), "no " + name);
  ExitCode(Start(c.dir / "minimal_window.exe", L" probe"), 20000);
  c.Check(TakeMarkers(c.dir).contains("version.dll"), "no planted DLL loaded");
  ExitCode(Start(c.dir / "minimal_window.exe", L" quit"), 9999);
  c.floor = TakeMarkers(c.dir);
  for (const char* own : {"comctl32.dll", "uxtheme.dll", "dwmapi.dll", "msimg32.dll"})
    c.floor.erase(own);
  c.before = Folder(c.dir).value_or(Files{});
}

// The one-setup mutex held by the driver, or an event holding its name.
constexpr wchar_t kGuardName[] = L"Global\\Kestrelwin.Tessaradyne.Setup";
void HoldGuard(Ctx& c) {
  c.held.emplace_back(CreateMutexW(0, 0, kGuardName));
}
void SquatGuardName(Ctx& c) {
  c.held.emplace_back(CreateEventW(0, 0, 0, kGuardName));
}

// The face and text colours of a high-contrast theme, those from before set back after the row.
// Wine takes them, but reports no such theme on (SPI_GETHIGHCONTRAST), nor lets one be set.
void HighContrast(Ctx& c) {
  static const int kElements[] = {COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_WINDOWTEXT};
  const COLORREF theme[] = {RGB(0, 0, 0), RGB(255, 255, 0), RGB(255, 255, 0)};
  std::array<COLORREF, 3> before{};
  for (int i = 0; i < 3; ++i) before[i] = GetSysColor(kElements[i]);
  SetSysColors(3, kElements, theme);
  c.undo.push_back([before] { SetSysColors(3, kElements, before.data()); });
}

// The log in a new folder of the real System32, which a 32-bit program sees only without
// redirection and a 32-bit driver reaches as Sysnative.
void LogInSystem32(Ctx& c) {
  wchar_t windows[MAX_PATH];
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  c.log = fs::path(windows) / L"system32" / L"tessaradyne-e2e" / L"setup.log";
  const fs::path folder = RealSystem32() / L"tessaradyne-e2e";
  fs::create_directories(folder);
  c.log_file = folder / L"setup.log";
  fs::remove(c.log_file);
  c.undo.push_back([folder] { Remove(folder); });
}

// The /log= path a second name of someone else's file.
void LinkLog(Ctx& c) {
  c.Check(SecondName(c.log) && (c.victim = true), "the log is no second name of another file");
}

// On a window station of the driver's own, with its desktop: not the interactive one, so nobody
// sees what shows there (its flags lack WSF_VISIBLE), as in session 0.
void OnHiddenStation(Ctx& c) {
  static const HDESK desktop = [] {
    HWINSTA own = GetProcessWindowStation();
    SetProcessWindowStation(CreateWindowStationW(L"hiddenws", 0, WINSTA_ALL_ACCESS, nullptr));
    HDESK made = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(own);
    return made;
  }();
  c.desktop = L"hiddenws\\Default";
  c.watch = desktop;
}

// On a desktop of the driver's own on the shown station, which nobody switches to, as a
// remote-management tool's "hidden" install runs: nobody sees it either.
void OnOtherDesktop(Ctx& c) {
  static const HDESK desktop =
      CreateDesktopW(L"tessaradyne-e2e", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  c.desktop = L"tessaradyne-e2e";
  c.watch = desktop;
}

// setup.exe alone in its folder, as Explorer runs it when it is double-clicked inside its zip.
void LeaveSetupAlone(Ctx& c) {
  for (const auto& [name, bytes] : c.before)
    c.Check(name == "setup.exe" || Remove(c.dir / name), "could not remove " + name);
  c.before = Folder(c.dir).value_or(Files{});
}
}  // namespace

// clang-format off
const Steps kToConfirmation = {Screen(0), Click(kAgree), Enabled(kNext, true), Click(kDisagree),
    Enabled(kNext, false), Click(kAgree), Enabled(kNext, true), Click(kNext), Screen(1)};
const Steps kToQuestion = kToConfirmation + Steps{Click(kStart), Screen(2)};
const Steps kInstalls = {Run(), Exits(0), Installed()}, kLeft = {Exits(2), Untouched()},
    kFailed = {Exits(1), Untouched()}, kRefused = {Run(), Exits(3), Installed()};
namespace {
const Steps kNobodyAnswers = {QuietlyExits(1), Untouched(), LogsOnly(1, kNobodyThere)};
const Steps kSilentInstall = {QuietlyExits(0), Installed(), Logs(0)};
const Steps kAnotherSetup = {Box(kAlreadyRunning, 'i'), Answer(IDOK), Exits(1618), Untouched()};
const Step kQuestion = Box(kStartQuestion, '-'), kLeaveBox = Box(kLeaveQuestion, '-');
// Tab order over enabled buttons only, never the list; Esc and a held Enter do nothing, on the
// screens and on the questions.
const Steps kKeyboard = Steps{Screen(0), Key(VK_ESCAPE, kLeave), Key(VK_TAB, kAgree),
    Key(VK_TAB, kDisagree), Key(VK_TAB, kLeave), Key(kShiftTab, kDisagree),
    Key(VK_ESCAPE, kDisagree), Key(kShiftTab, kAgree), Key(VK_RETURN, kAgree),
    Enabled(kNext, true), Key(VK_TAB, kDisagree), Key(VK_TAB, kNext), Key(VK_TAB, kLeave),
    Key(kShiftTab, kNext), Key(kShiftTab, kDisagree), Key(VK_SPACE, kDisagree),
    Enabled(kNext, false), Key(kShiftTab, kAgree), Key(VK_SPACE, kAgree), Enabled(kNext, true),
    Key(VK_TAB, kDisagree), Key(VK_TAB, kNext), HeldEnter(), Key(VK_RETURN), Screen(1),
    Key(VK_TAB, kQuit), Key(VK_TAB, kStart), Key(kShiftTab, kQuit), Key(VK_ESCAPE, kQuit),
    HeldEnter(), Key(VK_RETURN), kLeaveBox, HeldEnter(), Answer(IDNO), Key(VK_ESCAPE, kQuit),
    Key(VK_TAB, kStart), Key(VK_RETURN), Screen(2), HeldEnter(), Answer(IDNO), Screen(1),
    Key(VK_TAB, kQuit), Key(VK_RETURN), kLeaveBox, Answer(IDYES)} + kLeft;
}  // namespace

const std::vector<Scenario> kScenarios = {
    {"happy", 0, kToQuestion + kInstalls},
    {"happy-144dpi", 0, kToQuestion + kInstalls, kDpi144},
    {"no-then-yes", 0, kToQuestion + Steps{Answer(IDNO), Screen(1), Untouched(), Click(kStart),
        Screen(2)} + kInstalls},
    {"closes-refused-while-busy", 0, kToQuestion + Steps{RunTryingToClose(), Exits(0),
        Installed()}},
    {"activation-posted", 0, kToQuestion + Steps{RunWithActivationPosted(), Exits(0),
        Installed()}},
    {"leave-at-agreement", 0, Steps{Screen(0), Click(kLeave)} + kLeft},
    {"close-box-at-agreement", 0, Steps{Screen(0), Post(WM_SYSCOMMAND, SC_CLOSE)} + kLeft},
    {"leave-at-confirmation", 0, kToConfirmation + Steps{Click(kQuit), kLeaveBox, Answer(IDNO),
        Key(VK_ESCAPE, kQuit), Click(kQuit), kLeaveBox, Answer(IDYES)} + kLeft},
    {"high-contrast", 0, kToConfirmation + Steps{Click(kQuit), kLeaveBox, Answer(IDYES)} + kLeft,
        0, nullptr, HighContrast},
    {"keyboard", 0, kKeyboard},
    {"keyboard-144dpi", 0, kKeyboard, kDpi144},
    {"missing-template", kNoOrgTool, kToQuestion + Steps{Run(&kNoTemplateBox)} + kFailed},
    {"reinstall", kOld, kToQuestion + kInstalls},
    {"locked-files", kLocked, kToQuestion + kRefused},
    {"planted-dlls", 0, kToQuestion + Steps{Run(), Exits(0), Markers(), Installed()},
        kPlantable, nullptr, PlantDlls},
    {"close-at-start-question", 0, kToQuestion + Steps{Post(WM_CLOSE)} + kLeft},
    {"session-end-at-start-question", 0, kToQuestion + Steps{Send(WM_QUERYENDSESSION), kQuestion,
        Send(WM_ENDSESSION, TRUE)} + kLeft},
    {"cancelled-session-end", 0, kToQuestion + Steps{Send(WM_QUERYENDSESSION),
        Send(WM_ENDSESSION, FALSE), kQuestion} + kInstalls},
    {"close-at-leave-question", 0, kToConfirmation + Steps{Click(kQuit), kLeaveBox,
        Post(WM_CLOSE)} + kLeft},
    {"second-instance", 0, Steps{Screen(0), Second()} + kToQuestion + kInstalls},
    {"setup-already-running", 0, kAnotherSetup, 0, nullptr, HoldGuard},
    {"setup-name-held-by-an-event", 0, kAnotherSetup, 0, nullptr, SquatGuardName},
    {"in-place", kInPlace, kToQuestion + kInstalls},
    {"read-only-cross-drive", kCrossDrive, kToQuestion + kInstalls, kSecondVolume},
    {"held-template", 0, kToQuestion + kInstalls, 0, nullptr, HoldTemplate},
    {"brief-lock", 0, kToQuestion + kInstalls, 0, nullptr, LockBriefly},
    {"install-folder-is-link", 0, kToQuestion + kRefused, 0, nullptr, LinkInstallFolder},
    {"platform", kNoSetup, {Platform()}},
    {"silent", kSilent | kLogged, kSilentInstall},
    {"silent-missing-template", kSilent | kLogged | kNoOrgTool, {QuietlyExits(1), Untouched(),
        Logs(1, &kNoTemplateBox)}},
    {"silent-second", 0, Steps{Screen(0), Second(true), Click(kLeave)} + kLeft},
    {"silent-unseen", kSilent | kLogged, kSilentInstall, 0, nullptr, OnHiddenStation},
    {"unseen-without-S", kLogged, kNobodyAnswers, 0, nullptr, OnHiddenStation},
    {"other-desktop-without-S", kLogged, kNobodyAnswers, 0, nullptr, OnOtherDesktop},
    {"silent-log-in-system32", kSilent | kLogged | kOld, kSilentInstall, kAdmin, nullptr,
        LogInSystem32},
    {"linked-tool-file", kSilent | kLogged | kLinkedTool, {QuietlyExits(3), Installed(), Logs(3)},
        kOneVolume},
    {"linked-log", kSilent | kLogged, {QuietlyExits(1), Untouched()}, kOneVolume, nullptr,
        LinkLog},
    {"log-with-screens", kLogged, kToQuestion + kInstalls + Steps{Logs(0)}},
    {"started-alone", 0, Steps{Box(kExtractFirst, 'e'), Answer(IDOK)} + kFailed, 0, nullptr,
        LeaveSetupAlone},
    {"started-alone-silently", kSilent | kLogged, {QuietlyExits(1), Untouched(),
        LogsOnly(1, kExtractFirstLine)}, 0, nullptr, LeaveSetupAlone},
    {"unknown-argument", kBogus, Steps{BoxStarting(kUnknownArgument, 'e'), Answer(IDOK)} +
        kFailed},
    {"unknown-argument-silently", kSilent | kBogus, {QuietlyExits(1), Untouched()}},
    {"loop-ended", 0, Steps{Screen(0), EndLoop(), BoxStarting(kUnexpected, 'e'), Answer(IDOK)} +
        kFailed},
};
// clang-format on
}  // namespace e2e
