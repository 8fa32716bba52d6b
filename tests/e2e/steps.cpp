#include "tests/e2e/driver.h"

// The checks of the program's Win32 layer in win32_layer_checks.cpp.
namespace setup::win32 {
void CheckPlatform(const std::function<bool(bool, const std::string&)>& expect);
}

namespace e2e {
std::set<string> TakeMarkers(const fs::path& dir) {
  std::set<string> loaded;
  for (const auto& [name, bytes] : Folder(dir).value_or(Files{}))
    if (name.ends_with(".loaded") && fs::remove(dir / name))
      loaded.insert(name.substr(0, name.size() - 7));
  return loaded;
}

bool Do(Ctx& c, const Step& s) {
  HWND item = GetDlgItem(c.form, int(s.a)), shown = nullptr;
  HWND on = IsWindowVisible(c.box) ? c.box : c.form;  // the open box takes the keys
  std::optional<DWORD> code;
  if (s.op == kScreen) return Arrive(c, s.a);
  if (s.op == kClick) return PostMessageW(item, BM_CLICK, 0, 0);
  if (s.op == kRun || s.op == kRunClosing || s.op == kRunActivating) return FollowRun(c, s);
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
  if (s.op == kKey || s.op == kHeldEnter) {
    // Keys as typed, into the window in front; a held Enter is a WM_KEYDOWN with the repeat
    // bit, posted through the message loop of the program or of its message box.
    const bool held = s.op == kHeldEnter;
    const long long want = held ? FocusId(on) : s.b;
    SetForegroundWindow(on);
    if (held) PostMessageW(GetDlgItem(on, int(want)), WM_KEYDOWN, VK_RETURN, 1 | 1 << 30);
    for (const auto& [vk, up] :
         {std::pair{VK_SHIFT, 0}, {int(s.a), 0}, {int(s.a), 2}, {VK_SHIFT, 2}})
      if (!held && (vk != VK_SHIFT || s.a == kShiftTab)) keybd_event(BYTE(vk), 0, DWORD(up), 0);
    // Esc and a held Enter are to do nothing: give them the time to do something wrong.
    if (held || s.a == VK_ESCAPE) Sleep(400);
    return want < 0 || c.Check(!FindTop(c.p, "#32770", "", {c.box}) &&
                                   Until([&] { return FocusId(on) == want; }, 2000),
                               F("key %lld (0 a held Enter): a box, or focus on %d, want %lld", s.a,
                                 FocusId(on), want));
  }
  if (s.op == kSecond) {
    // With the first setup.exe on its agreement screen, put behind the desktop, a second one
    // from another copy must leave with 1618 (ERROR_INSTALL_ALREADY_RUNNING) and show nothing.
    const fs::path copy = c.dir.wstring() + L"-2";
    SetForegroundWindow(GetDesktopWindow());
    // No control of a screen in the background has the focus: Enter has no button to press.
    c.Check(Ask(c.form, DM_GETDEFID) == 0u, "DM_GETDEFID in the background named a button");
    // One that does not start ends with nothing.
    const Handle second =
        Lay(copy, c.before) ? Start(copy / "setup.exe", s.a ? L" /S" : L"") : Handle();
    Until([&] { return (code = ExitCode(second, 0)) || (shown = FindTop(second)); }, 5000);
    c.Check(!shown && code == 1618u && Folder(copy) == c.before,
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
      shown = shown ? shown : c.watch ? FindOn(c.watch, c.p) : FindTop(c.p, "", "", {}, true);
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
  if (s.op == kPlatform) setup::win32::CheckPlatform(std::bind_front(&Ctx::Check, &c));
  return c.Check(s.op == kPlatform, F("no step %d", s.op));
}

void Hold(Ctx& c, const string& name, DWORD access, DWORD sharing) {
  const HANDLE h = CreateFileW((c.dir / name).c_str(), access, sharing, 0, OPEN_EXISTING, 0, 0);
  c.Check(c.held.emplace_back(h).valid(), "could not hold " + name + " open");
}

// Lays out the scenario's distribution and drive C:, then starts setup.exe.
bool Prepare(Ctx& c) {
  const unsigned p = c.s.prep;
  if (p & kNoSetup) return true;
  // From another drive, at its root: the program's folder keeps its backslash there ("E:\\").
  c.dir = p & kCrossDrive ? fs::path(opt[L"cross"])
          : p & kInPlace  ? kInstall
                          : fs::path(opt[L"work"]) / c.s.name;
  Files files = Folder(opt[L"dist"]).value_or(Files{});
  files["setup.exe"] = Read(opt[L"setup"]).value_or("");
  if (p & kNoOrgTool) files.erase("org_TOOL");
  if (p & kLocked) files["TdExtra.dvb"] = "a third program";
  if (p & kInPlace) files[kMenu] = "the installed menu";
  if (p & kOld) c.old = {{"notes.txt", "the user's own notes\r\n"}, {kMenu, "old menu"}};
  string bmp;
  const bool laid = Lay(c.dir, files);
  for (const auto& [name, bytes] : files) {
    if (IsKind(name, ".bmp") && bmp.empty()) bmp = name;
    if ((p & kOld) && (IsKind(name, ".dvb") || name == bmp)) c.old[name] = "old " + name;
    if ((p & kCrossDrive) && IsTool(name))
      c.Check(SetFileAttributesW((c.dir / name).c_str(), FILE_ATTRIBUTE_READONLY) &&
                  GetFileAttributesW((c.dir / name).c_str()) & FILE_ATTRIBUTE_READONLY,
              name + " is not read-only");
    if ((p & kLocked) && IsKind(name, ".dvb")) c.unplaced.insert(name);
  }
  c.Check(laid && (c.dir == kInstall || Lay(kInstall, c.old)) && Lay(kElsewhere, {}),
          "could not lay out the folders");
  c.Check(!(p & kLinkedTool) || (SecondName(c.dir / "linked.dvb") &&
                                 c.unplaced.insert("linked.dvb").second && (c.victim = true)),
          "no second name for someone else's file");
  c.before = Folder(c.dir).value_or(Files{});
  for (const string& name : (p & kLocked) ? c.unplaced : std::set<string>{})
    Hold(c, name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  // The log beside the distribution, not in it.
  c.log = c.log_file = c.dir.wstring() + L".log";
  fs::remove(c.log_file);
  if (c.s.arrange) c.s.arrange(c);
  // The arguments a deployment tool passes.
  const std::wstring args = std::wstring(p & kSilent ? L" /S" : L"") +
                            (p & kLogged ? L" \"/log=" + c.log.wstring() + L"\"" : L"") +
                            (p & kBogus ? L" /bogus" : L"");
  c.started = GetTickCount64();
  const wchar_t* desktop = c.desktop.empty() ? nullptr : c.desktop.c_str();
  return c.fails.empty() &&
         c.Check((c.p = Start(c.dir / "setup.exe", args, desktop, c.show)).valid() &&
                     (c.desktop.empty() || c.watch),
                 "setup.exe did not start");
}
}  // namespace e2e
