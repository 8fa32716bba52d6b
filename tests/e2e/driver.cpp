// Walks setup.exe through its screens under Wine as a person would, one scenario per table entry,
// each on a fresh copy of the distribution, and checks what ends up on drive C:.
//
//   driver prepare [dpi]
//       fonts for the Japanese faces, a virtual desktop, the screen's DPI; takes effect once
//       the prefix's processes have restarted
//   driver run <setup.exe> <distribution> <work folder> [--shots folder] [--dlls folder]
//       [--probe dll_probe.exe] [--minimal minimal_window.exe] [--only a,b] [--skip a,b]
//       [--acp code page] [--verbose]

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/files.h"
#include "tests/e2e/ui.h"

namespace e2e {
namespace {

constexpr std::string_view kFormClass = "TessaradyneSetupForm";
constexpr std::string_view kAgreementTitle = "Kestrelwin 使用許諾";
constexpr std::string_view kConfirmationTitle = "Kestrelwin　セットアップ";
constexpr std::string_view kRunTitle = "Tessaradyne SETUP";
constexpr std::string_view kBoxTitle = "SETUP";
constexpr std::string_view kStartQuestion = "    セットアップを開始します。 よろしいですか？    ";
constexpr std::string_view kLeaveQuestion = "インストールを中止します。よろしいですか？";
constexpr std::string_view kDone = "    セットアップは正常に終了しました。    ";
constexpr std::string_view kIncompleteHead =
    "    セットアップは終了しましたが、次のファイルをインストールできませんでした。    ";
constexpr std::string_view kNoTemplate =
    "ツールメニューファイルがありません!!  セットアップを中止します。";
constexpr std::string_view kUnwritableMenu =
    "ツールメニューファイルへの書き込みができません!!  セットアップを中止します。";
constexpr std::string_view kMenuName = "TessaradyneTOOL.mns";
const std::wstring kInstallDir = L"C:\\Tessaradyne";

const std::vector<std::string> kRunStatuses = {"setup ready!", "get setup holderpass...",
                                               "setup AutoCAD nemu file...",
                                               "setup tool nemu file...", "setup complete..."};
const std::vector<int> kRunProgress = {0, 10, 70, 80, 90, 100};

// Control IDs: 100 + the entry's index in the screen's layout table.
enum : int { kAgreementList = 100, kNext, kLeave, kAgree, kDisagree };
enum : int { kLabel12 = 100, kLabel8, kLabel9, kStart, kQuit };
enum : int { kBar = 100, kStatus };

struct ControlLook {
  int id;
  std::string_view cls;
  std::string_view caption;
};

struct ScreenLook {
  std::string_view name;
  std::string_view title;
  double width_pt, height_pt;  // client area
  std::vector<ControlLook> controls;
};

const ScreenLook kAgreement{"agreement",
                            kAgreementTitle,
                            454.5,
                            263.25,
                            {{kAgreementList, "ListBox", ""},
                             {kNext, "Button", "次へ"},
                             {kLeave, "Button", "終了"},
                             {kAgree, "Button", "同意する"},
                             {kDisagree, "Button", "同意しない"}}};
const ScreenLook kConfirmation{
    "confirmation",
    kConfirmationTitle,
    340.5,
    198,
    {{kLabel12, "Static", "ｱﾄﾞｵﾝﾀｲﾄﾙ　 ：　Tessaradyne"},
     {kLabel8, "Static", "　　　　　　　　　　 Tessaradyne Pro 4.0"},
     {kLabel9, "Static",
      "セットアップを開始します。よろしければ 「開始」 ボタンを押してください。"},
     {kStart, "Button", "開始"},
     {kQuit, "Button", "終了"}}};
const ScreenLook kProgress{"progress",
                           kRunTitle,
                           330,
                           102.75,
                           {{kBar, "msctls_progress32", ""}, {kStatus, "Static", "setup ready!"}}};

struct Options {
  std::wstring setup, dist, work, shots, dlls, probe, minimal;
  std::set<std::string> only, skip;
  unsigned acp = 0;  // the ANSI code page the locale must give, when set
  bool verbose = false;
};

void Print(const std::string& line) {
  const std::string text = line + "\n";
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(out, &mode)) {
    const std::wstring wide = Wide(text);
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  } else {
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

bool WaitFor(const std::function<bool()>& condition, DWORD ms) {
  const double until = NowMs() + ms;
  while (!condition()) {
    if (NowMs() > until) return false;
    Sleep(10);
  }
  return true;
}

std::string Join(const std::vector<std::string>& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + Quote(items[i]);
  return out + "]";
}

std::string Join(const std::vector<int>& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    out += (i ? ", " : "") + std::to_string(items[i]);
  }
  return out + "]";
}

std::string Names(const FileSet& files) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files) names.push_back(name);
  return Join(names);
}

// One scenario's state: its folder, its process and what went wrong, in order.
struct Run {
  const Options& options;
  const FileSet& dist;
  unsigned code_page;
  std::string name;
  std::wstring folder;
  Process process;
  std::vector<std::string> failures;

  bool Expect(bool ok, const std::string& what) {
    if (!ok) failures.push_back(what);
    return ok;
  }
  template <class T>
  bool Equal(const T& got, const T& want, const std::string& what) {
    return Expect(got == want, what + ": got " + Show(got) + ", want " + Show(want));
  }
  void Say(const std::string& line) const {
    if (options.verbose) Print("  " + line);
  }
  static std::string Show(const std::string& s) { return Quote(s); }
  static std::string Show(std::string_view s) { return Quote(s); }
  static std::string Show(int v) { return std::to_string(v); }
  static std::string Show(DWORD v) { return std::to_string(v); }
  static std::string Show(const std::vector<std::string>& v) { return Join(v); }
  static std::string Show(const std::vector<int>& v) { return Join(v); }
};

std::wstring In(const std::wstring& folder, std::string_view name) {
  return folder + L"\\" + Wide(name);
}

// The distribution as it lies in the scenario folder before the run, setup.exe included.
FileSet Pristine(const Run& run) {
  FileSet files = run.dist;
  files["setup.exe"] = ReadBytes(run.options.setup).value_or("");
  return files;
}

bool Lay(Run& run, const FileSet& files) {
  run.folder = In(run.options.work, run.name);
  // A run stopped half-way may have left its folder immutable.
  const bool fresh =
      (RemoveTree(run.folder) || (SetImmutable(run.folder, false) && RemoveTree(run.folder))) &&
      MakeFolder(run.folder);
  if (!run.Expect(fresh, "could not make a fresh folder " + Utf8(run.folder))) {
    return false;
  }
  for (const auto& [name, bytes] : files) {
    if (!run.Expect(WriteBytes(In(run.folder, name), bytes), "could not copy " + name)) {
      return false;
    }
  }
  return true;
}

bool Launch(Run& run) {
  const std::string error = Start(In(run.folder, "setup.exe"), run.process);
  return run.Expect(error.empty(), "setup.exe did not start: " + error);
}

// The usual start: a fresh distribution, no install folder, setup.exe running.
bool LayAndLaunch(Run& run, const FileSet& files) {
  if (!run.Expect(RemoveTree(kInstallDir), "could not clear C:\\Tessaradyne")) return false;
  return Lay(run, files) && Launch(run);
}

void ExpectExit(Run& run, DWORD want, DWORD ms) {
  const auto code = WaitExit(run.process, ms);
  if (!run.Expect(code.has_value(), "setup.exe still runs " + std::to_string(ms) +
                                        " ms after it should have ended with " +
                                        std::to_string(want))) {
    return;
  }
  run.Equal(*code, want, "exit status");
}

unsigned Dpi() {
  return GetDpiForSystem();
}

// Title, window frame, size, position and every control of a screen.
void CheckScreen(Run& run, HWND form, const ScreenLook& look) {
  const std::string where = std::string(look.name) + " screen";
  run.Equal(Text(form), std::string(look.title), where + " title");
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(form, GWL_STYLE));
  run.Expect((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU) &&
                 !(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)),
             where + ": want a fixed frame with a title bar and a close box only, style " +
                 std::to_string(style));
  RECT client{}, frame{}, work{};
  GetClientRect(form, &client);
  GetWindowRect(form, &frame);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const double scale = Dpi() / 72.0;
  const long want_w = std::lround(look.width_pt * scale);
  const long want_h = std::lround(look.height_pt * scale);
  run.Expect(std::abs(client.right - want_w) <= 2 && std::abs(client.bottom - want_h) <= 2,
             where + " client area " + std::to_string(client.right) + "x" +
                 std::to_string(client.bottom) + " px, want about " + std::to_string(want_w) + "x" +
                 std::to_string(want_h) + " at " + std::to_string(Dpi()) + " dpi");
  const long dx = (frame.left + frame.right) - (work.left + work.right);
  const long dy = (frame.top + frame.bottom) - (work.top + work.bottom);
  run.Expect(std::abs(dx) <= 4 && std::abs(dy) <= 4,
             where + " is not centred on the work area (off by " + std::to_string(dx / 2) + "," +
                 std::to_string(dy / 2) + " px)");
  run.Say(where + ": " + Quote(Text(form)) + ", client " + std::to_string(client.right) + "x" +
          std::to_string(client.bottom) + " px");
  for (const ControlLook& c : look.controls) {
    HWND w = GetDlgItem(form, c.id);
    const std::string id = where + " control " + std::to_string(c.id);
    if (!run.Expect(w != nullptr, id + " is missing")) continue;
    run.Expect(lstrcmpiW(Wide(ClassName(w)).c_str(), Wide(c.cls).c_str()) == 0,
               id + " has class " + ClassName(w) + ", want " + std::string(c.cls));
    run.Equal(Text(w), std::string(c.caption), id + " caption");
    if (!c.caption.empty()) run.Say("  [" + std::to_string(c.id) + "] " + Quote(Text(w)));
  }
}

// A screen's activation is posted after it shows; keys typed before it has run would be
// undone by it, so give it time to run, as a person's reaction time would.
void Settle(HWND form) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
  Sleep(300);
}

int FocusId(HWND form) {
  HWND focus = Focus(form);
  return focus && GetParent(focus) == form ? GetDlgCtrlID(focus) : (focus == form ? 0 : -1);
}

bool WaitFocus(Run& run, HWND form, int id, const std::string& when) {
  const bool ok = WaitFor([&] { return FocusId(form) == id; }, 2000);
  return run.Expect(ok, "focus " + when + ": on control " + std::to_string(FocusId(form)) +
                            ", want " + std::to_string(id));
}

bool WaitEnabled(HWND control, bool enabled) {
  return WaitFor([&] { return (IsWindowEnabled(control) != FALSE) == enabled; }, 3000);
}

// `idle`: the screen pumps messages, so a round trip shows it has painted; a busy one painted
// at its last pump and would only answer at its next.
void Screenshot(Run& run, HWND form, std::string_view name, bool idle = true) {
  if (run.options.shots.empty()) return;
  if (idle) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
  }
  Sleep(200);
  run.Expect(SaveScreenshot(form, In(run.options.shots, std::string(name) + ".bmp")),
             "could not save the screenshot of the " + std::string(name) + " screen");
}

// The agreement screen with its 48 rows, "次へ" disabled.
HWND Agreement(Run& run) {
  HWND form = WaitTop(run.process, kFormClass, kAgreementTitle, 20000);
  if (!run.Expect(form != nullptr, "the agreement screen did not appear")) return nullptr;
  CheckScreen(run, form, kAgreement);
  std::optional<std::vector<std::string>> rows;
  WaitFor(
      [&] {
        rows = ListRows(GetDlgItem(form, kAgreementList), 2000);
        return rows && rows->size() >= 48;
      },
      5000);
  if (run.Expect(rows.has_value(), "the agreement list could not be read")) {
    run.Equal(static_cast<int>(rows->size()), 48, "agreement rows");
    if (!rows->empty()) {
      run.Equal(rows->front(), std::string(), "first agreement row");
      run.Equal(rows->back(), std::string("以上"), "last agreement row");
    }
    run.Say("agreement list: " + std::to_string(rows->size()) + " rows, row 2 " +
            Quote(rows->size() > 1 ? (*rows)[1] : ""));
  }
  run.Expect(!IsWindowEnabled(GetDlgItem(form, kNext)), "次へ is enabled before agreeing");
  for (int id : {kLeave, kAgree, kDisagree}) {
    run.Expect(IsWindowEnabled(GetDlgItem(form, id)) != FALSE,
               "agreement control " + std::to_string(id) + " is disabled");
  }
  return form;
}

HWND Confirmation(Run& run) {
  HWND form = WaitTop(run.process, kFormClass, kConfirmationTitle, 10000);
  if (!run.Expect(form != nullptr, "the confirmation screen did not appear")) return nullptr;
  CheckScreen(run, form, kConfirmation);
  Settle(form);
  WaitFocus(run, form, kStart, "on the confirmation screen");
  return form;
}

// Agrees, toggling once on the way, and goes on to the confirmation screen.
HWND AgreeAndGoOn(Run& run, HWND agreement) {
  HWND next = GetDlgItem(agreement, kNext);
  Click(GetDlgItem(agreement, kAgree));
  run.Expect(WaitEnabled(next, true), "次へ stays disabled after 同意する");
  Click(GetDlgItem(agreement, kDisagree));
  run.Expect(WaitEnabled(next, false), "次へ stays enabled after 同意しない");
  Click(GetDlgItem(agreement, kAgree));
  if (!run.Expect(WaitEnabled(next, true), "次へ stays disabled after 同意する again")) {
    return nullptr;
  }
  Click(next);
  run.Expect(WaitGone(agreement, 5000), "the agreement screen stays after 次へ");
  return Confirmation(run);
}

struct Started {
  HWND form = nullptr;
  BoxInfo question;
};

// Presses "開始" and waits for the start question over the progress screen.
Started PressStart(Run& run, HWND confirmation) {
  Started s;
  Click(GetDlgItem(confirmation, kStart));
  run.Expect(WaitGone(confirmation, 5000), "the confirmation screen stays after 開始");
  const auto box = WaitBox(run.process, 10000);
  if (!run.Expect(box.has_value(), "no start question after 開始")) return s;
  s.question = *box;
  s.form = box->owner;
  run.Equal(box->title, std::string(kBoxTitle), "start question title");
  run.Equal(box->text, std::string(kStartQuestion), "start question");
  run.Expect(box->yes && box->no, "the start question lacks Yes or No");
  if (!run.Expect(s.form && ClassName(s.form) == kFormClass,
                  "the start question is not owned by the progress screen")) {
    s.form = nullptr;
    return s;
  }
  CheckScreen(run, s.form, kProgress);
  run.Equal(ProgressPos(GetDlgItem(s.form, kBar), 2000).value_or(-1), 0, "progress while asking");
  run.Say("start question: " + Quote(box->text));
  return s;
}

HWND ToConfirmation(Run& run) {
  HWND agreement = Agreement(run);
  return agreement ? AgreeAndGoOn(run, agreement) : nullptr;
}

Started ToStartQuestion(Run& run) {
  HWND confirmation = ToConfirmation(run);
  return confirmation ? PressStart(run, confirmation) : Started{};
}

// Everything the run showed from the start question to its last message box.
struct Trace {
  std::vector<std::string> statuses, titles;
  std::vector<int> progress;
  std::optional<BoxInfo> last_box;
  int progress_at_box = -1;
};

// Called with each new status text while the run works; may act on the screen.
using StatusHook = std::function<void(const std::string& status, HWND form)>;

// Answers Yes to the start question and follows the run until its next message box.
Trace FollowRun(Run& run, const Started& s, const StatusHook& hook = {}) {
  Trace trace;
  HWND bar = GetDlgItem(s.form, kBar), status = GetDlgItem(s.form, kStatus);
  std::mutex lock;
  std::atomic<bool> stop = false;
  std::atomic<int> answers = 0;
  std::vector<int> seen;
  // The bar only answers where the run pumps messages, so one query always waits there.
  std::thread sampler([&] {
    while (!stop) {
      const auto pos = ProgressPos(bar, 3000);
      if (!pos) {
        if (!IsWindow(bar)) return;
        continue;
      }
      std::scoped_lock guard(lock);
      if (seen.empty() || seen.back() != *pos) seen.push_back(*pos);
      ++answers;
    }
  });
  WaitFor(
      [&] {
        std::scoped_lock guard(lock);
        return !seen.empty();
      },
      3000);
  const auto record = [&] {
    const std::string text = Text(status), title = Text(s.form);
    if (trace.statuses.empty() || trace.statuses.back() != text) {
      trace.statuses.push_back(text);
      run.Say("status: " + Quote(text));
      if (hook && trace.statuses.size() > 1) hook(text, s.form);
    }
    if (trace.titles.empty() || trace.titles.back() != title) trace.titles.push_back(title);
  };
  record();
  Answer(s.question, IDYES);
  run.Expect(WaitGone(s.question.box, 5000), "the start question stays after Yes");
  const double until = NowMs() + 30000;
  while (NowMs() < until && Running(run.process)) {
    record();
    if (auto box = FindBox(run.process.pid); box && box->box != s.question.box) {
      record();
      trace.last_box = box;
      // A box pumps messages: two more answers and the bar's last value is in.
      const int at_box = answers;
      WaitFor([&] { return answers >= at_box + 2; }, 3000);
      break;
    }
    Sleep(5);
  }
  stop = true;
  // With a box open its query is answered at once; otherwise it ends with the screen.
  sampler.join();
  trace.progress = seen;
  if (trace.last_box) trace.progress_at_box = ProgressPos(bar, 2000).value_or(-1);
  return trace;
}

// The box that ends the run, answered with OK.
void ExpectLastBox(Run& run, const Started& s, Trace& trace, std::string_view text) {
  if (!run.Expect(trace.last_box.has_value(), "the run showed no message box at its end")) return;
  run.Equal(trace.last_box->title, std::string(kBoxTitle), "last message box title");
  run.Equal(trace.last_box->text, std::string(text), "last message box");
  run.Expect(trace.last_box->owner == s.form,
             "the last message box is not owned by the progress screen");
  run.Expect(trace.last_box->ok, "the last message box has no OK button");
  run.Say("message: " + Quote(trace.last_box->text));
  Answer(*trace.last_box, IDOK);
}

// Every status, progress value and title of a run that gets to its end, and its last box.
void ExpectFullRun(Run& run, const Started& s, Trace& trace, std::string_view last_text) {
  run.Equal(trace.statuses, kRunStatuses, "status texts");
  run.Equal(trace.progress, kRunProgress, "progress values");
  for (const std::string& title : trace.titles) {
    run.Expect(title == kRunTitle, "progress screen titled " + Quote(title) + " during the run");
  }
  run.Equal(trace.progress_at_box, 100, "progress at the last message box");
  ExpectLastBox(run, s, trace, last_text);
}

// From the start to the end of a run that gets through: Yes, then OK to its last message.
void InstallToEnd(Run& run, std::string_view last_text, DWORD exit_code,
                  const StatusHook& hook = {}) {
  const Started s = ToStartQuestion(run);
  if (!s.form) return;
  Trace trace = FollowRun(run, s, hook);
  ExpectFullRun(run, s, trace, last_text);
  ExpectExit(run, exit_code, 10000);
}

// C:\Tessaradyne and the source folder after a run: every tool file moved and the menu made,
// except files whose installed copy is kept and files that stay in the source folder.
void ExpectInstalled(Run& run, const FileSet& before, const FileSet& kept_in_install = {},
                     const FileSet& left_in_source = {}) {
  FileSet install = kept_in_install, source = left_in_source;
  for (const auto& [name, bytes] : before) {
    if (name == "org_TOOL") {
      install[std::string(kMenuName)] = ExpectedMenu(bytes, run.code_page, "C:/Tessaradyne/");
    }
    if (!IsToolFile(name)) {
      source[name] = bytes;
    } else if (!kept_in_install.contains(name) && !left_in_source.contains(name)) {
      install[name] = bytes;
    }
  }
  const auto got_install = ReadFolder(kInstallDir);
  if (run.Expect(got_install.has_value(), "C:\\Tessaradyne was not made")) {
    run.Equal(Names(*got_install), Names(install), "files in C:\\Tessaradyne");
    for (const auto& [name, bytes] : install) {
      const auto it = got_install->find(name);
      if (it == got_install->end()) continue;
      if (name == kMenuName && it->second != bytes) {
        std::size_t at = 0;
        while (at < bytes.size() && at < it->second.size() && bytes[at] == it->second[at]) ++at;
        run.Expect(false, "C:\\Tessaradyne\\" + name + " differs from byte " + std::to_string(at) +
                              ": got " + Quote(it->second.substr(at, 40)) + ", want " +
                              Quote(bytes.substr(at, 40)));
      } else {
        run.Expect(it->second == bytes, "C:\\Tessaradyne\\" + name + " has other bytes");
      }
    }
    for (const auto& [name, bytes] : *got_install) run.Say("installed: C:\\Tessaradyne\\" + name);
  }
  const auto got_source = ReadFolder(run.folder);
  if (run.Expect(got_source.has_value(), "the source folder is gone")) {
    run.Equal(Names(*got_source), Names(source), "files left in the source folder");
    for (const auto& [name, bytes] : source) {
      const auto it = got_source->find(name);
      run.Expect(it == got_source->end() || it->second == bytes,
                 "source file " + name + " has changed");
    }
  }
}

void ExpectNothingInstalled(Run& run, const FileSet& before) {
  run.Expect(!Exists(kInstallDir), "C:\\Tessaradyne exists, but nothing was to be installed");
  const auto got = ReadFolder(run.folder);
  if (run.Expect(got.has_value(), "the source folder is gone")) {
    run.Expect(*got == before,
               "the source folder changed: " + Names(*got) + ", was " + Names(before));
  }
}

// --- scenarios --------------------------------------------------------------------------

void HappyPath(Run& run) {
  const FileSet files = Pristine(run);
  if (!LayAndLaunch(run, files)) return;
  HWND agreement = Agreement(run);
  if (!agreement) return;
  Screenshot(run, agreement, "agreement");
  HWND confirmation = AgreeAndGoOn(run, agreement);
  if (!confirmation) return;
  Screenshot(run, confirmation, "confirmation");
  const Started s = PressStart(run, confirmation);
  if (!s.form) return;
  Trace trace = FollowRun(run, s, [&](const std::string& status, HWND form) {
    if (status == "setup tool nemu file...") Screenshot(run, form, "progress", false);
  });
  ExpectFullRun(run, s, trace, kDone);
  ExpectExit(run, 0, 10000);
  ExpectInstalled(run, files);
}

void NoThenYes(Run& run) {
  const FileSet files = Pristine(run);
  if (!LayAndLaunch(run, files)) return;
  Started s = ToStartQuestion(run);
  if (!s.form) return;
  Answer(s.question, IDNO);
  run.Expect(WaitGone(s.form, 5000), "the progress screen stays after No");
  HWND confirmation = Confirmation(run);
  if (!confirmation) return;
  ExpectNothingInstalled(run, files);
  s = PressStart(run, confirmation);
  if (!s.form) return;
  Trace trace = FollowRun(run, s);
  ExpectFullRun(run, s, trace, kDone);
  ExpectExit(run, 0, 10000);
  ExpectInstalled(run, files);
}

void ClosesRefusedWhileBusy(Run& run) {
  const FileSet files = Pristine(run);
  if (!LayAndLaunch(run, files)) return;
  // Sent messages wait for the run's next pump, so they go from threads of their own.
  std::atomic<int> close_sent = -1;
  std::atomic<long long> session_answer = -1;
  std::vector<std::thread> senders;
  InstallToEnd(run, kDone, 0, [&](const std::string& status, HWND form) {
    if (status == kRunStatuses[1]) {
      PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (status == kRunStatuses[2]) {
      senders.emplace_back([form, &close_sent] {
        DWORD_PTR result = 0;
        close_sent = SendMessageTimeoutW(form, WM_CLOSE, 0, 0, SMTO_NORMAL, 10000, &result) ? 1 : 0;
      });
    } else if (status == kRunStatuses[3]) {
      senders.emplace_back([form, &session_answer] {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(form, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &result)) {
          session_answer = static_cast<long long>(result);
        }
      });
    }
  });
  for (std::thread& t : senders) t.join();
  run.Equal(static_cast<int>(close_sent), 1, "WM_CLOSE handled during the run");
  run.Equal(static_cast<int>(session_answer), 0, "answer to WM_QUERYENDSESSION during the run");
  ExpectInstalled(run, files);
}

void LeaveAtAgreement(Run& run) {
  const FileSet files = Pristine(run);
  if (!LayAndLaunch(run, files)) return;
  HWND agreement = Agreement(run);
  if (!agreement) return;
  Click(GetDlgItem(agreement, kLeave));
  bool boxed = false;
  WaitFor(
      [&] {
        boxed = boxed || FindBox(run.process.pid).has_value();
        return !Running(run.process);
      },
      5000);
  run.Expect(!boxed, "終了 on the agreement screen asked something");
  ExpectExit(run, 2, 1000);
  ExpectNothingInstalled(run, files);
}

void CloseBoxAtAgreement(Run& run) {
  const FileSet files = Pristine(run);
  if (!LayAndLaunch(run, files)) return;
  HWND agreement = Agreement(run);
  if (!agreement) return;
  PostMessageW(agreement, WM_SYSCOMMAND, SC_CLOSE, 0);
  ExpectExit(run, 2, 5000);
  ExpectNothingInstalled(run, files);
}

// "終了" on the confirmation screen: No keeps the screen and the focus, Yes leaves.
void LeaveAtConfirmation(Run& run) {
  const FileSet files = Pristine(run);
  if (!LayAndLaunch(run, files)) return;
  HWND confirmation = ToConfirmation(run);
  if (!confirmation) return;
  for (int answer : {IDNO, IDYES}) {
    Click(GetDlgItem(confirmation, kQuit));
    const auto box = WaitBox(run.process, 5000);
    if (!run.Expect(box.has_value(), "終了 on the confirmation screen asked nothing")) return;
    run.Equal(box->title, std::string(kBoxTitle), "leave question title");
    run.Equal(box->text, std::string(kLeaveQuestion), "leave question");
    run.Expect(box->owner == confirmation, "the leave question is not owned by its screen");
    run.Expect(box->yes && box->no, "the leave question lacks Yes or No");
    Answer(*box, answer);
    run.Expect(WaitGone(box->box, 5000), "the leave question stays after an answer");
    if (answer == IDNO) {
      if (!run.Expect(IsWindowVisible(confirmation) && Running(run.process),
                      "the confirmation screen is gone after No")) {
        return;
      }
      WaitFocus(run, confirmation, kQuit, "after No to the leave question");
    }
  }
  ExpectExit(run, 2, 5000);
  ExpectNothingInstalled(run, files);
}

// Not a virtual key: Tab typed with Shift held.
constexpr WORD kShiftTab = 0x100;

struct KeyStep {
  WORD key;
  int focus;      // where the focus must be afterwards
  int next = -1;  // whether 次へ must be enabled afterwards (1) or disabled (0)
};

// Keys typed on one screen, each checked before the next.
bool TypeKeys(Run& run, HWND form, std::initializer_list<KeyStep> steps, const std::string& where) {
  for (const KeyStep& step : steps) {
    if (step.key == kShiftTab) {
      if (GetForegroundWindow() != form) SetForegroundWindow(form);
      TypeShifted(VK_TAB);
    } else {
      HWND focus = Focus(form);
      PostKey(focus ? focus : form, step.key);
    }
    // Esc is to do nothing: give it the time to do something wrong.
    if (step.key == VK_ESCAPE) Sleep(300);
    const std::string after = where + " after " +
                              (step.key == kShiftTab   ? "Shift+Tab"
                               : step.key == VK_TAB    ? "Tab"
                               : step.key == VK_ESCAPE ? "Esc"
                               : step.key == VK_SPACE  ? "Space"
                                                       : "Enter");
    if (!WaitFocus(run, form, step.focus, after)) return false;
    if (step.next >= 0 &&
        !run.Expect(WaitEnabled(GetDlgItem(form, kNext), step.next == 1),
                    std::string("次へ is ") + (step.next ? "disabled " : "enabled ") + after)) {
      return false;
    }
  }
  return true;
}

// Tab order over the enabled buttons only, Shift+Tab, Esc doing nothing, Enter and Space
// pressing the focused button, on the first two screens and through both questions.
void Keyboard(Run& run) {
  const FileSet files = Pristine(run);
  if (!LayAndLaunch(run, files)) return;
  HWND agreement = Agreement(run);
  // The list never takes the focus and 次へ is disabled: the first stop is 終了.
  if (!agreement || !WaitFocus(run, agreement, kLeave, "on the agreement screen") ||
      !TypeKeys(run, agreement,
                {{VK_TAB, kAgree},
                 {VK_TAB, kDisagree},
                 {VK_TAB, kLeave},
                 {kShiftTab, kDisagree},
                 {VK_ESCAPE, kDisagree},
                 {kShiftTab, kAgree},
                 {VK_RETURN, kAgree, 1},
                 {VK_TAB, kDisagree},
                 {VK_TAB, kNext},
                 {VK_TAB, kLeave},
                 {kShiftTab, kNext},
                 {kShiftTab, kDisagree},
                 {VK_SPACE, kDisagree, 0},
                 {kShiftTab, kAgree},
                 {VK_SPACE, kAgree, 1},
                 {VK_TAB, kDisagree},
                 {VK_TAB, kNext}},
                "agreement")) {
    return;
  }
  PostKey(GetDlgItem(agreement, kNext), VK_RETURN);
  run.Expect(WaitGone(agreement, 5000), "Enter on 次へ did not leave the agreement screen");

  const auto enter_and_answer = [&](HWND form, std::string_view question, int answer) {
    HWND focus = Focus(form);
    PostKey(focus ? focus : form, VK_RETURN);
    const auto box = WaitBox(run.process, 10000);
    if (!run.Expect(box && box->text == question, "Enter did not ask " + Quote(question))) {
      return false;
    }
    Answer(*box, answer);
    return run.Expect(WaitGone(box->box, 5000), "a question stays after its answer");
  };
  HWND confirmation = Confirmation(run);
  if (!confirmation ||
      !TypeKeys(run, confirmation,
                {{VK_TAB, kQuit}, {VK_TAB, kStart}, {kShiftTab, kQuit}, {VK_ESCAPE, kQuit}},
                "confirmation") ||
      !enter_and_answer(confirmation, kLeaveQuestion, IDNO) ||
      !WaitFocus(run, confirmation, kQuit, "after No to the leave question") ||
      !TypeKeys(run, confirmation, {{VK_TAB, kStart}}, "confirmation") ||
      !enter_and_answer(confirmation, kStartQuestion, IDNO)) {
    return;
  }
  confirmation = Confirmation(run);
  if (!confirmation || !TypeKeys(run, confirmation, {{VK_TAB, kQuit}}, "confirmation") ||
      !enter_and_answer(confirmation, kLeaveQuestion, IDYES)) {
    return;
  }
  ExpectExit(run, 2, 5000);
  ExpectNothingInstalled(run, files);
}

// A run that stops at the menu file with an abort message, installing nothing.
void ExpectAbortAtMenu(Run& run, const FileSet& files, std::string_view message) {
  const Started s = ToStartQuestion(run);
  if (!s.form) return;
  Trace trace = FollowRun(run, s);
  run.Equal(trace.statuses, std::vector<std::string>(kRunStatuses.begin(), kRunStatuses.end() - 1),
            "status texts");
  run.Equal(trace.progress, std::vector<int>(kRunProgress.begin(), kRunProgress.end() - 1),
            "progress values");
  ExpectLastBox(run, s, trace, message);
  ExpectExit(run, 1, 10000);
  ExpectNothingInstalled(run, files);
}

void MissingTemplate(Run& run) {
  FileSet files = Pristine(run);
  files.erase("org_TOOL");
  if (!LayAndLaunch(run, files)) return;
  ExpectAbortAtMenu(run, files, kNoTemplate);
}

// Nothing may be created, renamed or removed in the source folder, as on a CD. The host's
// immutable flag does that even for root, whose permission bits Wine would not stop.
void ReadOnlySource(Run& run) {
  const FileSet files = Pristine(run);
  if (!run.Expect(RemoveTree(kInstallDir), "could not clear C:\\Tessaradyne") || !Lay(run, files)) {
    return;
  }
  const std::wstring probe = In(run.folder, "probe.tmp");
  if (!run.Expect(SetImmutable(run.folder, true),
                  "could not make the source folder read-only (chattr +i)")) {
    return;
  }
  if (WriteBytes(probe, "x")) {
    DeleteFileW(probe.c_str());
    run.Expect(false, "the source folder still takes new files after chattr +i");
  } else if (Launch(run)) {
    ExpectAbortAtMenu(run, files, kUnwritableMenu);
  }
  SetImmutable(run.folder, false);
}

// An older install: ".dvb" files and the menu are replaced, an installed ".bmp" is kept and
// its new copy stays in the source folder, a file of the user's is left alone.
void Reinstall(Run& run) {
  const FileSet files = Pristine(run);
  if (!run.Expect(RemoveTree(kInstallDir) && MakeFolder(kInstallDir),
                  "could not make C:\\Tessaradyne")) {
    return;
  }
  FileSet old{{"notes.txt", "the user's own notes\r\n"}, {std::string(kMenuName), "old menu"}};
  std::string kept_bmp;
  for (const auto& [name, bytes] : files) {
    if (name.ends_with(".dvb")) old[name] = "old " + name;
    if (name.ends_with(".bmp") && kept_bmp.empty()) {
      kept_bmp = name;
      old[name] = "old " + name;
    }
  }
  for (const auto& [name, bytes] : old) WriteBytes(In(kInstallDir, name), bytes);
  if (!Lay(run, files) || !Launch(run)) return;
  InstallToEnd(run, kDone, 0);
  ExpectInstalled(run, files, {{"notes.txt", old["notes.txt"]}, {kept_bmp, old[kept_bmp]}},
                  {{kept_bmp, files.at(kept_bmp)}});
}

// A tool file held open without sharing by another program during the whole run.
void LockedFile(Run& run) {
  const FileSet files = Pristine(run);
  std::string locked;
  for (const auto& [name, bytes] : files) {
    if (name.ends_with(".dvb")) locked = name;
  }
  if (!run.Expect(!locked.empty(), "the distribution has no .dvb file") ||
      !LayAndLaunch(run, files)) {
    return;
  }
  Handle hold(CreateFileW(In(run.folder, locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!run.Expect(hold.valid(), "could not hold " + locked + " open")) return;
  InstallToEnd(run, std::string(kIncompleteHead) + "\r\n" + locked, 3);
  hold.Close();
  ExpectInstalled(run, files, {}, {{locked, files.at(locked)}});
}

constexpr std::wstring_view kPlanted[] = {L"comctl32",  L"uxtheme", L"version", L"dwmapi",
                                          L"cryptbase", L"winmm",   L"msimg32", L"userenv",
                                          L"dbghelp",   L"propsys"};

// Names of the planted DLLs that left a marker, the markers removed.
std::vector<std::string> TakeMarkers(const std::wstring& folder) {
  std::vector<std::string> loaded;
  if (const auto files = ReadFolder(folder)) {
    for (const auto& [name, bytes] : *files) {
      if (!name.ends_with(".loaded")) continue;
      loaded.push_back(name.substr(0, name.size() - 7));
      DeleteFileW(In(folder, name).c_str());
    }
  }
  return loaded;
}

// DLLs named like system ones beside setup.exe, each leaving a marker when loaded. Wine reads
// WINEDLLOVERRIDES from the host environment only, so this scenario's driver runs with the
// names set to native-then-builtin there. Wine's own start-up of any windowed program loads
// some of them before the program's first instruction; a one-window program started the same
// way shows which, and setup.exe must load nothing beyond that.
void PlantedDlls(Run& run) {
  if (!run.Expect(
          !run.options.dlls.empty() && !run.options.probe.empty() && !run.options.minimal.empty(),
          "no planted DLLs given (--dlls, --probe, --minimal)")) {
    return;
  }
  wchar_t overrides[1024] = L"";
  GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 1024);
  if (!run.Expect(std::wstring_view(overrides).find(L"version") != std::wstring_view::npos,
                  "WINEDLLOVERRIDES does not make the planted names native-first: " +
                      Quote(Utf8(overrides)))) {
    return;
  }
  FileSet files = Pristine(run);
  for (std::wstring_view n : kPlanted) {
    const std::string name = Utf8(n) + ".dll";
    const auto bytes = ReadBytes(In(run.options.dlls, name));
    if (!run.Expect(bytes.has_value(), "missing planted " + name)) return;
    files[name] = *bytes;
  }
  files["dll_probe.exe"] = ReadBytes(run.options.probe).value_or("");
  files["minimal_window.exe"] = ReadBytes(run.options.minimal).value_or("");
  if (!run.Expect(RemoveTree(kInstallDir), "could not clear C:\\Tessaradyne") || !Lay(run, files)) {
    return;
  }
  // The probe loads version.dll by name the unhardened way: its marker proves that a planted
  // DLL is found first here, so that no marker from setup.exe means something.
  Process probe;
  run.Expect(
      Start(In(run.folder, "dll_probe.exe"), probe).empty() && WaitExit(probe, 20000).has_value(),
      "the probe did not run");
  const std::vector<std::string> by_probe = TakeMarkers(run.folder);
  if (!run.Expect(std::ranges::find(by_probe, "version.dll") != by_probe.end(),
                  "a planted version.dll was not loaded even by the probe; the check would "
                  "prove nothing")) {
    return;
  }
  Process minimal;
  if (Start(In(run.folder, "minimal_window.exe"), minimal).empty()) {
    if (HWND w = WaitTop(minimal, "MinimalWindow", "", 5000)) {
      PostMessageW(w, WM_CLOSE, 0, 0);
    }
    if (!WaitExit(minimal, 5000)) TerminateProcess(minimal.process.get(), 99);
  }
  const std::vector<std::string> floor = TakeMarkers(run.folder);
  Print("  planted DLLs Wine itself loads for any windowed program: " + Join(floor));

  if (!Launch(run)) return;
  if (const Started s = ToStartQuestion(run); s.form) {
    Trace trace = FollowRun(run, s);
    // The stand-ins lack the functions Wine calls in them, so the bar's painting may fail;
    // the texts and the end still have to be right.
    run.Equal(trace.statuses, kRunStatuses, "status texts");
    ExpectLastBox(run, s, trace, kDone);
  }
  ExpectExit(run, 0, 10000);
  std::vector<std::string> beyond;
  for (const std::string& name : TakeMarkers(run.folder)) {
    if (std::ranges::find(floor, name) == floor.end()) beyond.push_back(name);
  }
  run.Expect(beyond.empty(), "setup.exe loaded planted DLLs from its own folder: " + Join(beyond));
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Time from CreateProcessW to the first screen being visible, against a one-window program
// started the same way from the same folder.
void Startup(Run& run) {
  if (!run.Expect(!run.options.minimal.empty(), "no minimal program given (--minimal)")) return;
  FileSet files = Pristine(run);
  files["minimal_window.exe"] = ReadBytes(run.options.minimal).value_or("");
  if (!run.Expect(RemoveTree(kInstallDir), "could not clear C:\\Tessaradyne") || !Lay(run, files)) {
    return;
  }
  const auto time_to_window = [&](std::string_view exe, std::string_view cls,
                                  std::string_view title) -> std::optional<double> {
    Process p;
    const double t0 = NowMs();
    if (!Start(In(run.folder, exe), p).empty()) return std::nullopt;
    HWND w = nullptr;
    while (!w && Running(p) && NowMs() - t0 < 20000) {
      w = FindTop(p.pid, cls, title);
      if (!w) Sleep(1);
    }
    const double elapsed = NowMs() - t0;
    if (w) PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (!WaitExit(p, 10000)) TerminateProcess(p.process.get(), 99);
    return w ? std::optional<double>(elapsed) : std::nullopt;
  };
  std::vector<double> setup_ms, minimal_ms;
  constexpr int kRounds = 6;  // the first of each warms the caches and is not counted
  for (int i = 0; i < kRounds; ++i) {
    const auto m = time_to_window("minimal_window.exe", "MinimalWindow", "minimal window");
    const auto s = time_to_window("setup.exe", kFormClass, kAgreementTitle);
    if (!run.Expect(m && s, "a start-up timing run did not show its window")) return;
    if (i == 0) continue;
    minimal_ms.push_back(*m);
    setup_ms.push_back(*s);
  }
  const double setup = Median(setup_ms), minimal = Median(minimal_ms);
  char line[160];
  std::snprintf(line, sizeof line, "startup: setup_ms=%.0f minimal_ms=%.0f ratio=%.2f", setup,
                minimal, minimal > 0 ? setup / minimal : 0.0);
  Print(line);
  Print(std::string("startup goal (ratio <= 1.2): ") + (setup <= 1.2 * minimal ? "met" : "missed"));
}

struct Scenario {
  const char* name;
  void (*body)(Run&);
};

const Scenario kScenarios[] = {
    {"happy", HappyPath},
    {"no-then-yes", NoThenYes},
    {"closes-refused-while-busy", ClosesRefusedWhileBusy},
    {"leave-at-agreement", LeaveAtAgreement},
    {"close-box-at-agreement", CloseBoxAtAgreement},
    {"leave-at-confirmation", LeaveAtConfirmation},
    {"keyboard", Keyboard},
    {"missing-template", MissingTemplate},
    {"read-only-source", ReadOnlySource},
    {"reinstall", Reinstall},
    {"locked-file", LockedFile},
    {"planted-dlls", PlantedDlls},
    {"startup", Startup},
};

// --- preparation ------------------------------------------------------------------------

class Key {
 public:
  explicit Key(const wchar_t* path, HKEY root = HKEY_CURRENT_USER) {
    if (RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr) !=
        ERROR_SUCCESS) {
      key_ = nullptr;
    }
  }
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  bool Set(const wchar_t* name, const std::wstring& text) {
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return key_ &&
           RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          bytes) == ERROR_SUCCESS;
  }
  bool Set(const wchar_t* name, DWORD value) {
    return key_ && RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                  sizeof value) == ERROR_SUCCESS;
  }

 private:
  HKEY key_ = nullptr;
};

int Prepare(DWORD dpi) {
  Key fonts(L"Software\\Wine\\Fonts\\Replacements");
  Key explorer(L"Software\\Wine\\Explorer");
  Key desktops(L"Software\\Wine\\Explorer\\Desktops");
  Key desktop(L"Control Panel\\Desktop");
  Key debugger(L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug", HKEY_LOCAL_MACHINE);
  // The screens name Japanese faces that Wine lacks; the IPA fonts stand in for them.
  const bool ok =
      fonts.Set(L"MS UI Gothic", L"IPAPGothic") && fonts.Set(L"ＭＳ ゴシック", L"IPAGothic") &&
      fonts.Set(L"ＭＳ Ｐゴシック", L"IPAPGothic") && fonts.Set(L"MS Gothic", L"IPAGothic") &&
      fonts.Set(L"MS PGothic", L"IPAPGothic") &&
      // One virtual desktop draws window frames without a window manager.
      explorer.Set(L"Desktop", L"Default") && desktops.Set(L"Default", L"1280x960") &&
      desktop.Set(L"LogPixels", dpi) &&
      // A program that crashes ends instead of waiting in a debugger with its files held open.
      debugger.Set(L"Debugger", L"");
  Print(ok ? "prepared: fonts, virtual desktop, " + std::to_string(dpi) + " dpi"
           : "could not write the registry");
  return ok ? 0 : 1;
}

// --- main -------------------------------------------------------------------------------

int RunScenarios(const Options& options) {
  const auto dist = ReadFolder(options.dist);
  if (!dist || !dist->contains("org_TOOL") || !Exists(options.setup)) {
    Print("driver: needs setup.exe and a distribution with org_TOOL");
    return 2;
  }
  const unsigned code_page = GetACP();
  Print("code page " + std::to_string(code_page) + ", " + std::to_string(Dpi()) + " dpi");
  if (options.acp != 0 && code_page != options.acp) {
    Print("FAIL code page: the locale gives " + std::to_string(code_page) + ", not " +
          std::to_string(options.acp));
    Print("e2e: 0 passed, 1 failed");
    return 1;
  }
  MakeFolder(options.work);
  int passed = 0, failed = 0;
  for (const Scenario& scenario : kScenarios) {
    if ((!options.only.empty() && !options.only.contains(scenario.name)) ||
        options.skip.contains(scenario.name)) {
      continue;
    }
    Run run{options, *dist, code_page, scenario.name, {}, {}, {}};
    if (options.verbose) Print(std::string("== ") + scenario.name);
    const double t0 = NowMs();
    scenario.body(run);
    if (run.process.process.valid() && Running(run.process)) {
      run.failures.push_back("setup.exe was still running at the end; ended it");
      TerminateProcess(run.process.process.get(), 99);
      WaitExit(run.process, 5000);
    }
    char took[32];
    std::snprintf(took, sizeof took, " (%.1f s)", (NowMs() - t0) / 1000);
    if (run.failures.empty()) {
      ++passed;
      Print(std::string("PASS ") + scenario.name + took);
    } else {
      ++failed;
      Print(std::string("FAIL ") + scenario.name + took);
      for (const std::string& f : run.failures) Print("  - " + f);
    }
  }
  Print("e2e: " + std::to_string(passed) + " passed, " + std::to_string(failed) + " failed");
  return failed == 0 && passed > 0 ? 0 : 1;
}

}  // namespace
}  // namespace e2e

int wmain(int argc, wchar_t** argv) {
  using namespace e2e;
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == L"prepare") {
    return Prepare(args.size() > 1 ? static_cast<DWORD>(std::stoul(args[1])) : 96);
  }
  if (args.size() < 4 || args[0] != L"run") {
    Print(
        "usage: driver prepare [dpi] | driver run <setup.exe> <distribution> <work folder> "
        "[--shots folder] [--dlls folder] [--probe exe] [--minimal exe] [--only a,b] "
        "[--skip a,b] [--acp code page] [--verbose]");
    return 2;
  }
  Options options{args[1], args[2], args[3]};
  for (std::size_t i = 4; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == L"--verbose") {
      options.verbose = true;
    } else if (a == L"--shots" && has_value) {
      options.shots = args[++i];
    } else if (a == L"--dlls" && has_value) {
      options.dlls = args[++i];
    } else if (a == L"--probe" && has_value) {
      options.probe = args[++i];
    } else if (a == L"--acp" && has_value) {
      options.acp = static_cast<unsigned>(std::stoul(args[++i]));
    } else if (a == L"--minimal" && has_value) {
      options.minimal = args[++i];
    } else if ((a == L"--only" || a == L"--skip") && has_value) {
      std::set<std::string>& names = a == L"--only" ? options.only : options.skip;
      const std::string list = Utf8(args[++i]);
      for (std::size_t start = 0; start <= list.size();) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        if (comma > start) names.insert(list.substr(start, comma - start));
        start = comma + 1;
      }
    } else {
      Print("driver: unknown argument " + Utf8(a));
      return 2;
    }
  }
  return RunScenarios(options);
}
