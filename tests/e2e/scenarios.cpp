// The scenarios, a row each: a preparation and steps, as driver.h describes them.

#include "tests/e2e/driver.h"

namespace e2e {
Steps operator+(Steps a, const Steps& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const string kNoTemplateBox = kNoTemplate + kAbort, kUnwritableBox = kUnwritable + kAbort;
const string kUnknownArgument = "不明な引数です: /bogus";
// The log keeps a box's line breaks as " / ".
const string kExtractFirstLine = [] {
  string line = kExtractFirst;
  return line.replace(line.find("\r\n"), 2, " / ");
}();

namespace {
// On a window station of the driver's own, which nobody sees (its flags lack WSF_VISIBLE), as in
// session 0.
void OnHiddenStation(Ctx& c) {
  c.desktop = L"hiddenws\\Default";
  c.watch = HiddenDesktop();
}

// On a desktop of the driver's own on the shown station, as a remote-management tool's "hidden"
// install runs: nobody sees it either.
void OnOtherDesktop(Ctx& c) {
  c.desktop = kOtherDesktop;
  c.watch = OtherDesktop();
}

// setup.exe alone in its folder, as Explorer runs it when it is double-clicked inside its zip.
void LeaveSetupAlone(Ctx& c) {
  for (const auto& [name, bytes] : c.before)
    c.Check(name == "setup.exe" || Remove(c.dir / name), "could not remove " + name);
  c.before = Folder(c.dir).value_or(Files{});
}
}  // namespace

// clang-format off
const Steps kToConfirmation = {{kScreen, 0}, {kClick, kAgree}, {kEnabled, kNext, 1},
    {kClick, kDisagree}, {kEnabled, kNext, 0}, {kClick, kAgree}, {kEnabled, kNext, 1},
    {kClick, kNext}, {kScreen, 1}};
const Steps kToQuestion = kToConfirmation + Steps{{kClick, kStart}, {kScreen, 2}};
const Steps kInstalls = {{kRun}, {kExit, 0}, {kInstalled}}, kLeft = {{kExit, 2}, {kUntouched}},
    kFailed = {{kExit, 1}, {kUntouched}};
const Steps kNobodyAnswers = {{kQuiet, 1}, {kUntouched}, {kLog, 1, 1, &kNobodyThere}};
const Step kQuestion = {kBox, 0, '-', &kStartQuestion}, kLeaveBox = {kBox, 0, '-', &kLeaveQuestion};
// Tab order over enabled buttons only, never the list; Esc and a held Enter do nothing, on the
// screens and on the questions.
const Steps kKeyboard = Steps{{kScreen, 0}, {kKey, VK_ESCAPE, kLeave}, {kKey, VK_TAB, kAgree},
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
    {kKey, VK_RETURN, -1}, kLeaveBox, {kAnswer, IDYES}} + kLeft;

const std::vector<Scenario> kScenarios = {
    {"happy", 0, kToQuestion + kInstalls},
    {"happy-144dpi", 0, kToQuestion + kInstalls, kDpi144},
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
    {"keyboard", 0, kKeyboard},
    {"keyboard-144dpi", 0, kKeyboard, kDpi144},
    {"missing-template", kNoOrgTool, kToQuestion + Steps{{kRun, 0, 0, &kNoTemplateBox}} + kFailed},
    {"menu-file-blocked", kMenuBlocked,
        kToQuestion + Steps{{kRun, 0, 0, &kUnwritableBox}} + kFailed},
    {"reinstall", kOld, kToQuestion + kInstalls},
    {"locked-files", kLocked, kToQuestion + Steps{{kRun}, {kExit, 3}, {kInstalled}}},
    {"planted-dlls", kPlant, kToQuestion + Steps{{kRun}, {kExit, 0}, {kMarkers}, {kInstalled}},
        kPlantable},
    {"close-at-start-question", 0, kToQuestion + Steps{{kPost, WM_CLOSE}} + kLeft},
    {"session-end-at-start-question", 0, kToQuestion + Steps{{kSend, WM_QUERYENDSESSION}, kQuestion,
        {kSend, WM_ENDSESSION, TRUE}} + kLeft},
    {"cancelled-session-end", 0, kToQuestion + Steps{{kSend, WM_QUERYENDSESSION},
        {kSend, WM_ENDSESSION, FALSE}, kQuestion} + kInstalls},
    {"close-at-leave-question", 0, kToConfirmation + Steps{{kClick, kQuit}, kLeaveBox,
        {kPost, WM_CLOSE}} + kLeft},
    {"second-instance", 0, Steps{{kScreen, 0}, {kSecond}} + kToQuestion + kInstalls},
    {"setup-already-running", kMutex, {{kBox, 0, 'i', &kAlreadyRunning}, {kAnswer, IDOK},
        {kExit, 1618}, {kUntouched}}},
    {"setup-name-held-by-an-event", kSquat, {{kBox, 0, 'i', &kAlreadyRunning}, {kAnswer, IDOK},
        {kExit, 1618}, {kUntouched}}},
    {"in-place", kInPlace, kToQuestion + kInstalls},
    {"read-only-cross-drive", kCrossDrive, kToQuestion + kInstalls, kSecondVolume},
    {"held-template", kHeldTemplate, kToQuestion + kInstalls},
    {"brief-lock", kBriefLock, kToQuestion + kInstalls},
    {"install-folder-is-link", kLink, kToQuestion + Steps{{kRun}, {kExit, 3}, {kInstalled}},
        kHostPrograms},
    {"platform", kNoSetup, {{kPlatform}}},
    {"silent", kSilent | kLogged, {{kQuiet, 0}, {kInstalled}, {kLog, 0}}},
    // The menu as each code page reads the template, where it is the system's.
    {"menu-932", kSilent, {{kQuiet, 0}, {kInstalled}}, kCodePage932},
    {"menu-1252", kSilent, {{kQuiet, 0}, {kInstalled}}, kCodePage1252},
    {"silent-missing-template", kSilent | kLogged | kNoOrgTool, {{kQuiet, 1}, {kUntouched},
        {kLog, 1, 0, &kNoTemplateBox}}},
    {"silent-second", 0, Steps{{kScreen, 0}, {kSecond, 1}, {kClick, kLeave}} + kLeft},
    {"silent-unseen", kSilent | kLogged, {{kQuiet, 0}, {kInstalled}, {kLog, 0}}, 0, nullptr,
        OnHiddenStation},
    {"unseen-without-S", kLogged, kNobodyAnswers, 0, nullptr, OnHiddenStation},
    {"other-desktop-without-S", kLogged, kNobodyAnswers, 0, nullptr, OnOtherDesktop},
    {"silent-log-in-system32", kSilent | kLogged | kSystem32Log | kOld,
        {{kQuiet, 0}, {kInstalled}, {kLog, 0}}, kAdmin},
    {"linked-tool-file", kSilent | kLogged | kLinkedTool, {{kQuiet, 3}, {kInstalled}, {kLog, 3}},
        kOneVolume},
    {"linked-log", kSilent | kLogged | kLinkedLog, {{kQuiet, 1}, {kUntouched}}, kOneVolume},
    {"log-with-screens", kLogged, kToQuestion + kInstalls + Steps{{kLog, 0}}},
    {"started-alone", 0, Steps{{kBox, 0, 'e', &kExtractFirst}, {kAnswer, IDOK}} + kFailed, 0,
        nullptr, LeaveSetupAlone},
    {"started-alone-silently", kSilent | kLogged, {{kQuiet, 1}, {kUntouched},
        {kLog, 1, 1, &kExtractFirstLine}}, 0, nullptr, LeaveSetupAlone},
    {"unknown-argument", kBogus,
        Steps{{kBox, 1, 'e', &kUnknownArgument}, {kAnswer, IDOK}} + kFailed},
    {"unknown-argument-silently", kSilent | kBogus, {{kQuiet, 1}, {kUntouched}}},
    {"loop-ended", 0,
        Steps{{kScreen, 0}, {kEndLoop}, {kBox, 1, 'e', &kUnexpected}, {kAnswer, IDOK}} + kFailed},
};
// clang-format on
}  // namespace e2e
