#include "tests/e2e/driver.h"
//
#include <commctrl.h>

#include <atomic>
#include <cmath>
#include <regex>
#include <thread>

#include "tests/menu_oracle.h"

namespace e2e {
// The screens' titles, the progress screen's as the run sets it before its question.
const string kTitles[] = {"Kestrelwin 使用許諾", "Kestrelwin　セットアップ", "Tessaradyne SETUP"};
// A run's status texts, and the bar's values each with the seconds since Yes or since the value
// before, rounded; a run that aborts at the menu file shows neither last one.
const string kStatuses =
    "setup ready!|get setup holderpass...|setup AutoCAD nemu file...|setup tool nemu file...|";
const string kLastStatus = "setup complete...|";
const string kValues = "0/0s 10/1s 70/2s 80/1s 90/1s ", kLastValue = "100/0s ";  // moves untimed

// The open box: title, text, buttons (Yes and No for questions, which have no icon, else OK), icon
// and owner; `loose` takes any owner and the text as a beginning.
bool CheckBox(Ctx& c, const string& text, char icon, bool loose) {
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
  // With files held for the whole run, the lock waits take seconds; the screen must answer what is
  // sent to it throughout, or Windows would call it hung and offer to end it. Watched, nothing
  // is sent to it: each message answered would count as its looking at its queue.
  std::atomic<int> unanswered = 0, hung = 0;
  std::jthread pinger([&](std::stop_token stop) {
    for (DWORD_PTR r; !stop.stop_requested(); Sleep(20))
      if (c.watch_hung)
        hung += IsHungAppWindow(c.form) != FALSE;
      else if ((c.s.prep & kLocked) && tool_menu &&
               !SendMessageTimeoutW(c.form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &r))
        ++unanswered;
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
    if (c.brief_lock && tool_menu && GetTickCount64() > tool_menu + 1500) c.held.clear();
    if (s.op != kRun && entries == 2 && !closer.joinable())
      closer = std::thread([&, w = c.form] {
        // The screens' activation message, as any program can post it.
        if (s.op == kRunActivating) return (void)PostMessageW(w, WM_APP + 1, 0, 0);
        PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
        Ask(w, WM_CLOSE, 0, 0, 10000);
        session = (long long)Ask(w, WM_QUERYENDSESSION, 0, 0, 10000).value_or(-1);
      });
    return (end = FindTop(c.p, "#32770", "", {c.box})) || ExitCode(c.p, 0);
  };
  Until(watch, 30000);
  const double took = double(GetTickCount64() - yes);
  pinger.request_stop();
  pinger.join();
  c.Check(!unanswered, F("the screen left %d messages unanswered for 2 s", unanswered.load()));
  c.Check(!hung, F("Windows called the screen hung at %d polls", hung.load()));
  c.Check(!(c.s.prep & kLocked) || took < 7000 + 10000 + 1000,
          F("the run took %.0f ms, its pauses 7000 ms", took));
  Until([&] { return entries > (s.text ? 5 : 6); }, 1000);
  sampler.request_stop();
  sampler.join();
  if (closer.joinable()) closer.join();
  c.Check(s.op != kRunClosing || !session,
          F("WM_QUERYENDSESSION while busy answered %lld", session.load()));
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
  // Started from the install folder itself: every file stays.
  if (c.s.prep & kInPlace) install = source = installed ? files : c.before;
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
  // On Windows each file there has the folder's permissions, inherited, nothing of its own: not
  // protected ("D:P"), not without entries, none whose flags lack ID ("(A;ID;FA;;;SY)"). Wine
  // keeps no DACL.
  static const std::regex own(R"(^D:P|^[^(]*$|\([^;]*;(?![^;]*ID))");
  for (const auto& [name, bytes] : Wine() ? Files{} : install) {
    const string dacl = Dacl(kInstall / name);
    c.Check(!std::regex_search(dacl, own), name + ": " + dacl);
  }
  // Nothing written, moved or re-permissioned through a link; the link itself stays a link.
  c.Check(
      !c.victim || (Read(kVictim) == kVictims && Folder(kElsewhere) == Files{{"victim", kVictims}}),
      "the file a link leads to changed");
  c.Check(!(c.s.prep & kLinkedTool) || IsLink(c.dir / "linked.dvb"),
          "the linked .dvb is no longer a link in the source folder");
  return true;  // the steps after it go on
}

// The lines the run appended to its log: where from and to, each box as it read without the
// spaces around it and with its answer, the menu, what became of each tool file (in any order;
// the cause of a file not placed may be anything), the last box and the exit status. A '*' in
// a line wanted stands for anything.
bool CheckLog(Ctx& c, const Step& s) {
  std::vector<string> got,
      want = {"Tessaradyne setup *: from " + Utf8(c.dir.wstring()) + " to C:\\Tessaradyne",
              "question: " + LoggedBox(kStartQuestion) + " (Yes)",
              s.text ? "error: " + *s.text : "menu: " + kMenu + " written"};
  if (s.b) want = {want[0], *s.text};
  std::set<string> tools = {kMenu};
  for (const auto& [name, bytes] : c.before)
    if (IsTool(name)) tools.insert(name);
  for (const string& name : s.text || s.b ? std::set<string>{} : tools)
    want.push_back(c.unplaced.contains(name) ? "not placed: " + name + ": *"
                   : IsKind(name, ".bmp") && c.old.contains(name)
                       ? "kept: " + name + " (installed before)"
                       : "placed: " + name);
  std::sort(want.begin() + (s.b ? 2 : 3), want.end());
  if (!s.text)
    want.push_back(c.unplaced.empty() ? "information: " + LoggedBox(kDone)
                                      : "warning: " + LoggedBox(Incomplete(c)));
  want.push_back(F("exit: %lld", s.a));
  const string log = Read(c.log_file).value_or("");
  for (size_t at = 0, end; (end = log.find("\r\n", at)) != string::npos; at = end + 2)
    got.push_back(log.substr(at, end - at));
  // The files' lines, between the menu's and the last box, in the order of `want`.
  bool same = got.size() == want.size();
  if (same && !s.b) std::sort(got.begin() + 3, got.end() - (s.text ? 1 : 2));
  for (size_t i = 0, star; same && i < got.size(); ++i)
    same = (star = want[i].find('*')) == string::npos
               ? got[i] == want[i]
               : got[i].starts_with(want[i].substr(0, star)) &&
                     got[i].ends_with(want[i].substr(star + 1)) &&
                     got[i].size() >= want[i].size() - 1;
  return c.Shows(same, "log [" + log + "]");
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
}  // namespace e2e
