#pragma once
// The forms toolkit on plain Win32 windows: loads screens, runs the message loop with the
// dialog manager's keyboard handling, and ends it on Quit.

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "setup/platform/forms.h"

namespace setup::win32 {

class Win32Form;

class Win32FormsToolkit final : public FormsToolkit {
 public:
  // `start_show`: the show state the starting program gave, if it gave one.
  Win32FormsToolkit(HINSTANCE instance, std::optional<int> start_show);
  ~Win32FormsToolkit() override;
  Win32FormsToolkit(const Win32FormsToolkit&) = delete;
  Win32FormsToolkit& operator=(const Win32FormsToolkit&) = delete;

  Status Load(const FormSpec& layout, FormEvents& events,
              std::unique_ptr<FormWindow>& window) override;
  void ProcessMessages() override;
  void Quit(int exit_code) override;

  // Runs the message loop until Quit and returns the exit status Quit was given. When it ends
  // otherwise, or the program was abandoned, failure() says why.
  int Run();
  const std::string& failure() const { return failure_; }
  // Called inside a catch block of a window procedure, which no exception may leave: ends the
  // message loop, and the program with it, naming the exception as the failure.
  void Abandon() noexcept;

  // The window a message box belongs to: the active screen, else the screen shown last, else
  // none.
  HWND OwnerWindow() const;

  HINSTANCE instance() const { return instance_; }
  // The monitor new screens open on: that of the screen shown last, at first the primary one.
  HMONITOR monitor() const { return monitor_; }

  // The start's show state while Windows has yet to take it for the first show: once only.
  std::optional<int> TakeStartShow() { return std::exchange(start_show_, std::nullopt); }

  // Bookkeeping of the forms, called by them.
  void Added(Win32Form* form);
  void Removed(Win32Form* form);
  void Shown(Win32Form* form);

 private:
  Status RegisterFormClass();
  // The dialog manager's keyboard handling of the screens, then the usual dispatch.
  void Dispatch(MSG& msg);
  Win32Form* FormOf(HWND hwnd) const;

  HINSTANCE instance_;
  ATOM form_class_ = 0;
  std::vector<Win32Form*> forms_;
  Win32Form* last_shown_ = nullptr;
  HMONITOR monitor_;
  bool quitting_ = false;
  int exit_code_ = 0;
  std::string failure_;
  HHOOK held_enter_hook_ = nullptr;
  std::optional<int> start_show_;
};

}  // namespace setup::win32
