#include "setup/platform/win32/forms_toolkit.h"

#include <algorithm>

#include "setup/platform/win32/win32_form.h"
#include "setup/platform/win32/win32_status.h"

namespace setup::win32 {
namespace {

// The icon's resource ID in setup.rc.
constexpr WORD kProgramIcon = 1;

// A held key repeats. One press is one click: a repeated Enter would press the focused button
// again, or answer the message box the first press opened.
bool IsHeldEnter(const MSG& msg) {
  return msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN &&
         (msg.lParam & (LPARAM{1} << 30)) != 0;
}

// Message boxes run the system's own message loop, which shows each message to this hook first.
LRESULT CALLBACK DropHeldEnter(int code, WPARAM wparam, LPARAM lparam) {
  if (code == MSGF_DIALOGBOX && IsHeldEnter(*reinterpret_cast<const MSG*>(lparam))) return TRUE;
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

Win32FormsToolkit::Win32FormsToolkit(HINSTANCE instance, std::optional<int> start_show)
    : instance_(instance),
      monitor_(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY)),
      held_enter_hook_(
          SetWindowsHookExW(WH_MSGFILTER, &DropHeldEnter, nullptr, GetCurrentThreadId())),
      start_show_(start_show) {}

Win32FormsToolkit::~Win32FormsToolkit() {
  if (held_enter_hook_ != nullptr) UnhookWindowsHookEx(held_enter_hook_);
  if (form_class_ != 0) UnregisterClassW(Win32Form::kClassName, instance_);
}

Status Win32FormsToolkit::RegisterFormClass() {
  if (form_class_ != 0) return Status::Ok();
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &Win32Form::WindowProc;
  window_class.hInstance = instance_;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // The taskbar and Alt+Tab show the class's icons; shared, they stay the system's to free.
  window_class.hIcon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kProgramIcon),
                                                     IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  window_class.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kProgramIcon),
                                                       IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  window_class.lpszClassName = Win32Form::kClassName;
  form_class_ = RegisterClassExW(&window_class);
  if (form_class_ == 0) return LastErrorStatus("register window class");
  return Status::Ok();
}

Status Win32FormsToolkit::Load(const FormSpec& layout, FormEvents& events,
                               std::unique_ptr<FormWindow>& window) {
  if (Status s = RegisterFormClass(); !s.ok()) return s;
  return Win32Form::Create(*this, layout, events, window);
}

void Win32FormsToolkit::ProcessMessages() {
  MSG msg;
  while (!quitting_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Not ours to take: the outer loop must see it too.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
}

void Win32FormsToolkit::Quit(int exit_code) {
  if (quitting_) return;
  quitting_ = true;
  exit_code_ = exit_code;
  // Ends any modal loop still running, such as a message box's.
  PostQuitMessage(exit_code);
}

void Win32FormsToolkit::Abandon() noexcept {
  if (failure_.empty()) {
    try {
      failure_ = DescribeCurrentException();
    } catch (...) {
      failure_ = "out of memory";  // fits the small-string buffer: allocates nothing
    }
  }
  Quit(exit_code_);
}

int Win32FormsToolkit::Run() {
  MSG msg;
  while (!quitting_) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) {
      failure_ = LastErrorStatus("get the next window message").message();
      break;
    }
    if (got == 0) {
      // A WM_QUIT the program did not post (another program's, or a library's).
      failure_ = "the message loop ended before the program did";
      break;
    }
    Dispatch(msg);
  }
  // The end Quit posted is taken here: a box shown after the loop, as the failure's is, would
  // otherwise take it and close at once.
  if (quitting_) PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  return exit_code_;
}

void Win32FormsToolkit::Dispatch(MSG& msg) {
  if (Win32Form* form = FormOf(msg.hwnd)) {
    if (IsHeldEnter(msg)) return;
    // Tab, Shift+Tab, Space and Enter on the focused button; Esc sends IDCANCEL, which no
    // control has.
    if (IsDialogMessageW(form->hwnd(), &msg)) return;
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

Win32Form* Win32FormsToolkit::FormOf(HWND hwnd) const {
  if (hwnd == nullptr) return nullptr;
  HWND root = GetAncestor(hwnd, GA_ROOT);
  for (Win32Form* form : forms_) {
    if (form->hwnd() == root) return form;
  }
  return nullptr;
}

HWND Win32FormsToolkit::OwnerWindow() const {
  if (Win32Form* active = FormOf(GetActiveWindow())) return active->hwnd();
  if (last_shown_ != nullptr && IsWindowVisible(last_shown_->hwnd())) return last_shown_->hwnd();
  for (Win32Form* form : forms_) {
    if (IsWindowVisible(form->hwnd())) return form->hwnd();
  }
  return nullptr;
}

void Win32FormsToolkit::Added(Win32Form* form) {
  forms_.push_back(form);
}

void Win32FormsToolkit::Removed(Win32Form* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
  if (last_shown_ == form) last_shown_ = nullptr;
}

void Win32FormsToolkit::Shown(Win32Form* form) {
  last_shown_ = form;
  monitor_ = MonitorFromWindow(form->hwnd(), MONITOR_DEFAULTTOPRIMARY);
}

}  // namespace setup::win32
