#include "setup/platform/win32/win32_form.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

#include "setup/platform/win32/forms_toolkit.h"
#include "setup/platform/win32/layout_metrics.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_status.h"

namespace setup::win32 {
namespace {

// Fixed size: a title bar with the system menu and its close box, nothing to resize or minimise.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// A dialog frame carries no icon in the title bar. The dialog manager's Tab walks the controls
// of a control parent.
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// WM_GETDPISCALEDSIZE, which the headers declare only for Windows 10: older systems never send it,
// so answering it costs them nothing.
constexpr UINT kGetDpiScaledSize = 0x02E4;

// Posted by Show, so that the screen's activation handler runs after the caller has returned.
constexpr UINT kActivateMessage = WM_APP + 1;

// One creation path per control kind.
struct KindTraits {
  const wchar_t* window_class;
  DWORD style;
  DWORD ex_style;
};

KindTraits TraitsOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
      return {L"STATIC", SS_NOPREFIX, 0};
    case ControlKind::kButton:
      // Never BS_DEFPUSHBUTTON: no button is pressed by Enter unless it has the focus.
      return {L"BUTTON", BS_PUSHBUTTON | BS_CENTER | BS_VCENTER, 0};
    case ControlKind::kListBox:
      return {L"LISTBOX", WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS, WS_EX_CLIENTEDGE};
    case ControlKind::kProgressBar:
      return {PROGRESS_CLASSW, 0, 0};
  }
  return {L"STATIC", 0, 0};
}

DWORD LabelAlignStyle(int align, bool word_wrap) {
  if (align == kAlignCentre) return SS_CENTER;
  return word_wrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
}

}  // namespace

Win32Form::Win32Form(Win32FormsToolkit& toolkit, const FormSpec& layout, FormEvents& events)
    : toolkit_(toolkit), layout_(layout), events_(events) {}

Status Win32Form::Create(Win32FormsToolkit& toolkit, const FormSpec& layout, FormEvents& events,
                         std::unique_ptr<FormWindow>& window) {
  std::unique_ptr<Win32Form> form(new Win32Form(toolkit, layout, events));
  // Created on the target monitor first, so that the window's DPI is that monitor's.
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  POINT start{0, 0};
  if (GetMonitorInfoW(toolkit.monitor(), &info)) start = {info.rcWork.left, info.rcWork.top};
  HWND hwnd =
      CreateWindowExW(kFormExStyle, kClassName, Wide(layout.title).c_str(), kFormStyle, start.x,
                      start.y, 1, 1, nullptr, nullptr, toolkit.instance(), form.get());
  if (hwnd == nullptr) return LastErrorStatus("create window", layout.name);
  if (Status s = form->CreateControls(); !s.ok()) return s;
  const UINT dpi = DpiOf(hwnd);
  const POINT origin = CentreOnWorkArea(toolkit.monitor(), form->OuterSize(dpi));
  form->ApplyLayout(dpi, &origin);
  toolkit.Added(form.get());
  window = std::move(form);
  return Status::Ok();
}

Win32Form::~Win32Form() {
  toolkit_.Removed(this);
  if (hwnd_ != nullptr) {
    // No message of the dying window may reach this object any more.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
    // A message box this window owned goes with it, but its modal loop, if it is waiting for a
    // message (the close came in a sent message, as WM_ENDSESSION does), notices only at the
    // next one.
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
  }
}

Status Win32Form::CreateControls() {
  const std::size_t count = layout_.controls.size();
  controls_.assign(count, nullptr);
  // The z-order is the dialog manager's tab order (and what screen readers follow): controls
  // are made in tab-index order.
  std::vector<std::size_t> tab_order(count);
  std::iota(tab_order.begin(), tab_order.end(), std::size_t{0});
  // An insertion sort keeps controls of one tab index in table order, as std::stable_sort does,
  // in 2.5 KB less code; a screen has a handful of controls.
  const auto before = [&](std::size_t a, std::size_t b) {
    return layout_.controls[a].tab_index < layout_.controls[b].tab_index;
  };
  for (std::size_t i = 1; i < count; ++i) {
    for (std::size_t j = i; j > 0 && before(tab_order[j], tab_order[j - 1]); --j)
      std::swap(tab_order[j], tab_order[j - 1]);
  }
  for (std::size_t index : tab_order) {
    const ControlSpec& entry = layout_.controls[index];
    const KindTraits traits = TraitsOf(entry.kind);
    DWORD style = WS_CHILD | WS_VISIBLE | traits.style;
    if (entry.kind == ControlKind::kLabel) style |= LabelAlignStyle(kAlignLeft, entry.word_wrap);
    if (entry.tab_stop) style |= WS_TABSTOP;
    if (!entry.enabled) style |= WS_DISABLED;
    const auto id = static_cast<INT_PTR>(kFirstControlId + static_cast<int>(index));
    HWND control =
        CreateWindowExW(traits.ex_style, traits.window_class, Wide(entry.caption).c_str(), style, 0,
                        0, 0, 0, hwnd_, reinterpret_cast<HMENU>(id), toolkit_.instance(), nullptr);
    if (control == nullptr) return LastErrorStatus("create control", entry.name);
    if (entry.kind == ControlKind::kProgressBar) SendMessageW(control, PBM_SETRANGE32, 0, 100);
    controls_[index] = control;
  }
  return Status::Ok();
}

SIZE Win32Form::OuterSize(UINT dpi) const {
  return WindowSizeFor(PointsToPixels(layout_.client_width, dpi),
                       PointsToPixels(layout_.client_height, dpi), kFormStyle, kFormExStyle, dpi);
}

void Win32Form::ApplyLayout(UINT dpi, const POINT* origin) {
  std::vector<UniqueFont> fonts(controls_.size());
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const ControlSpec& entry = layout_.controls[i];
    if (!entry.font.face.empty()) {
      // A negative height asks for the character height, which is what a point size means.
      fonts[i] = UniqueFont(
          CreateFontW(-PointsToPixels(entry.font.points, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                      FALSE, entry.font.charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                      DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Wide(entry.font.face).c_str()));
    }
    HFONT font = fonts[i].get() != nullptr ? fonts[i].get()
                                           : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowPos(controls_[i], nullptr, PointsToPixels(entry.left, dpi),
                 PointsToPixels(entry.top, dpi), PointsToPixels(entry.width, dpi),
                 PointsToPixels(entry.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // The old fonts go only now that no control uses them.
  fonts_ = std::move(fonts);
  const SIZE size = OuterSize(dpi);
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  POINT at{0, 0};
  if (origin != nullptr) {
    at = *origin;
  } else {
    flags |= SWP_NOMOVE;
  }
  SetWindowPos(hwnd_, nullptr, at.x, at.y, size.cx, size.cy, flags);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

HWND Win32Form::Control(ControlId control) const {
  if (control < 0 || static_cast<std::size_t>(control) >= controls_.size()) return nullptr;
  return controls_[static_cast<std::size_t>(control)];
}

void Win32Form::Show() {
  for (int n = ShowsNeeded(toolkit_.TakeStartShow()); n > 0; --n) ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
  toolkit_.Shown(this);
  activation_due_ = true;
  PostMessageW(hwnd_, kActivateMessage, 0, 0);
}

void Win32Form::Hide() {
  ShowWindow(hwnd_, SW_HIDE);
}

void Win32Form::SetTitle(std::string_view title) {
  SetWindowTextW(hwnd_, Wide(title).c_str());
}

void Win32Form::SetCaption(ControlId control, std::string_view text) {
  SetWindowTextW(Control(control), Wide(text).c_str());
}

void Win32Form::SetEnabled(ControlId control, bool enabled) {
  EnableWindow(Control(control), enabled ? TRUE : FALSE);
}

void Win32Form::SetFocus(ControlId control) {
  if (HWND target = Control(control)) ::SetFocus(target);
}

void Win32Form::AddListRow(ControlId list, std::string_view text) {
  SendMessageW(Control(list), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void Win32Form::SetProgress(ControlId bar, float value) {
  HWND control = Control(bar);
  const auto position = static_cast<WPARAM>(std::lround(std::clamp(value, 0.0f, 100.0f)));
  // With visual styles the bar glides towards a higher position, so the painted bar lags the
  // value ("setup complete..." over a bar short of full), while a lower one is drawn at once:
  // each value is reached from one above it. At the top the range grows by one for a moment.
  const bool at_top = position >= 100;
  if (at_top) SendMessageW(control, PBM_SETRANGE32, 0, 101);
  SendMessageW(control, PBM_SETPOS, position + 1, 0);
  SendMessageW(control, PBM_SETPOS, position, 0);
  if (at_top) SendMessageW(control, PBM_SETRANGE32, 0, 100);
}

void Win32Form::SetShutdownReason(std::string_view reason) {
  if (reason.empty()) {
    ShutdownBlockReasonDestroy(hwnd_);
  } else {
    ShutdownBlockReasonCreate(hwnd_, Wide(reason).c_str());
  }
}

void Win32Form::SetTextAlign(ControlId label, int align) {
  HWND control = Control(label);
  if (control == nullptr) return;
  const ControlSpec& entry = layout_.controls[static_cast<std::size_t>(label)];
  LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  style = (style & ~static_cast<LONG_PTR>(SS_TYPEMASK)) |
          static_cast<LONG_PTR>(LabelAlignStyle(align, entry.word_wrap));
  SetWindowLongPtrW(control, GWL_STYLE, style);
  InvalidateRect(control, nullptr, TRUE);
}

void Win32Form::RestoreFocus() {
  HWND target = saved_focus_;
  if (target == nullptr || !IsWindowEnabled(target) || !IsWindowVisible(target)) {
    target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  }
  if (target != nullptr) ::SetFocus(target);
}

LRESULT Win32Form::OnGetDefId() const {
  // The dialog manager presses the default button on Enter. No button is the default: the
  // focused one is answered instead, so that Enter presses it, as Space does.
  // Without a focused control (the progress screen; any screen in the background) both sides of
  // the comparison are null: the table is read only for one of the screen's controls.
  HWND focus = GetFocus();
  const int index = GetDlgCtrlID(focus) - kFirstControlId;
  if (focus == nullptr || Control(index) != focus ||
      layout_.controls[static_cast<std::size_t>(index)].kind != ControlKind::kButton) {
    return 0;
  }
  return MAKELRESULT(kFirstControlId + index, DC_HASDEFID);
}

LRESULT CALLBACK Win32Form::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* form = static_cast<Win32Form*>(create->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  try {
    return form->HandleMessage(message, wparam, lparam);
  } catch (...) {
    // Nothing may unwind through the system's frames; the program ends instead.
    form->toolkit_.Abandon();
    return 0;
  }
}

// Each case calls one method. Events may discard the form: no case touches it afterwards.
LRESULT Win32Form::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kActivateMessage:
      // Any program can post it too. Only the one Show posted counts: on the progress screen the
      // activation is the install run, which must not start again inside itself.
      if (std::exchange(activation_due_, false)) events_.Activate();
      return 0;
    case WM_COMMAND:
      OnCommand(wparam, lparam);
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnColourStatic(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_ACTIVATE:
      OnActivate(wparam);
      return 0;
    case WM_SETFOCUS:
      RestoreFocus();
      return 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) != SC_CLOSE) break;
      events_.CloseRequested(kCloseByUser);
      return 0;
    case WM_CLOSE:
      // The close box, the system menu and Alt+F4 arrive as SC_CLOSE above; a bare WM_CLOSE
      // comes from another program, as the Task Manager sends it.
      events_.CloseRequested(kCloseByTaskManager);
      return 0;
    case WM_QUERYENDSESSION:
      // Only a question: the session may yet go on, and the screens with it.
      return events_.MayClose(kCloseBySession) ? TRUE : FALSE;
    case WM_ENDSESSION:
      if (wparam != FALSE) events_.CloseRequested(kCloseBySession);
      return 0;
    case DM_GETDEFID:
      return OnGetDefId();
    case kGetDpiScaledSize:
      *reinterpret_cast<SIZE*>(lparam) = OuterSize(static_cast<UINT>(wparam));
      return TRUE;
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

void Win32Form::OnCommand(WPARAM wparam, LPARAM lparam) {
  if (HIWORD(wparam) != BN_CLICKED) return;
  const int index = LOWORD(wparam) - kFirstControlId;
  HWND control = Control(index);
  if (control == nullptr || control != reinterpret_cast<HWND>(lparam)) return;
  if (layout_.controls[static_cast<std::size_t>(index)].kind != ControlKind::kButton) return;
  events_.Click(index);
}

LRESULT Win32Form::OnColourStatic(HDC dc, HWND control) {
  // Labels are opaque in the window's own colour, with the text colour that goes with it: the
  // device context's default black would vanish on a high-contrast theme's black.
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  const int index = GetDlgCtrlID(control) - kFirstControlId;
  // A high-contrast theme's colours are chosen to be read: a fixed colour gives way to them.
  HIGHCONTRASTW contrast{sizeof(contrast)};
  const bool high_contrast =
      SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) != FALSE &&
      (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
  if (Control(index) == control && !high_contrast) {
    if (const auto& colour = layout_.controls[static_cast<std::size_t>(index)].text_colour) {
      SetTextColor(dc, RGB(colour->r, colour->g, colour->b));
    }
  }
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void Win32Form::OnActivate(WPARAM wparam) {
  if (LOWORD(wparam) == WA_INACTIVE) {
    // Kept for when a message box or another program gives the window back.
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus)) saved_focus_ = focus;
    return;
  }
  toolkit_.Shown(this);
  RestoreFocus();
}

void Win32Form::OnDpiChanged(UINT dpi, const RECT& suggested) {
  const POINT origin{suggested.left, suggested.top};
  ApplyLayout(dpi, &origin);
}

}  // namespace setup::win32
