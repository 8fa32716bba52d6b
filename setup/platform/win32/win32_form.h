#pragma once
// One screen as a top-level Win32 window with plain child controls, built from its layout table.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "setup/platform/forms.h"
#include "setup/platform/win32/unique_handle.h"

namespace setup::win32 {

class Win32FormsToolkit;

// Child control IDs are the table index plus this, keeping clear of IDOK (1) and IDCANCEL (2),
// which the system sends for Enter and Esc.
inline constexpr int kFirstControlId = 100;

class Win32Form final : public FormWindow {
 public:
  static constexpr const wchar_t* kClassName = L"TessaradyneSetupForm";

  // Creates the window hidden, with every control in its table state. The layout must outlive
  // the form.
  static Status Create(Win32FormsToolkit& toolkit, const FormSpec& layout, FormEvents& events,
                       std::unique_ptr<FormWindow>& window);
  // Closes the window without raising an event.
  ~Win32Form() override;

  void Show() override;
  void Hide() override;
  void SetTitle(std::string_view title) override;
  void SetCaption(ControlId control, std::string_view text) override;
  void SetEnabled(ControlId control, bool enabled) override;
  void SetFocus(ControlId control) override;
  void AddListRow(ControlId list, std::string_view text) override;
  void SetProgress(ControlId bar, float value) override;
  void SetTextAlign(ControlId label, int align) override;
  void SetShutdownReason(std::string_view reason) override;

  HWND hwnd() const { return hwnd_; }

  // The window procedure of the class; routes to HandleMessage of the window's form.
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  Win32Form(Win32FormsToolkit& toolkit, const FormSpec& layout, FormEvents& events);

  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  Status CreateControls();
  // Sizes the window, the controls and their fonts for `dpi`; `origin` places the window.
  void ApplyLayout(UINT dpi, const POINT* origin);
  SIZE OuterSize(UINT dpi) const;
  HWND Control(ControlId control) const;
  void OnCommand(WPARAM wparam, LPARAM lparam);
  LRESULT OnColourStatic(HDC dc, HWND control);
  void OnActivate(WPARAM wparam);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  LRESULT OnGetDefId() const;
  // The control that had the focus when the window was last left, else the first tab stop.
  // A dialog does this itself; a window of its own class must.
  void RestoreFocus();

  Win32FormsToolkit& toolkit_;
  const FormSpec& layout_;
  FormEvents& events_;
  HWND hwnd_ = nullptr;
  std::vector<HWND> controls_;     // by table index
  std::vector<UniqueFont> fonts_;  // by table index; null for controls with the system font
  HWND saved_focus_ = nullptr;
  bool activation_due_ = false;  // Show has posted the activation, which has not yet run
};

}  // namespace setup::win32
