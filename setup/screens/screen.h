#pragma once
// The base of the screens: one loaded form's window, whose events reach the screen's handlers
// through the program that owns it.

#include <cstdint>
#include <memory>

#include "setup/platform/forms.h"

namespace setup {

class Program;

enum class ScreenKind { kUserForm1, kUserForm2, kUserForm4 };

// Owns the window and routes its events to the handlers.
class Screen : public FormEvents {
 public:
  virtual ~Screen() = default;
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  FormWindow& window() { return *window_; }
  // False once the screen is unloaded, or closed from outside while one of its handlers waits
  // in a message box: its window is gone and must not be touched.
  bool loaded() const { return window_ != nullptr; }

 protected:
  Screen(Program& program, ScreenKind kind, const FormSpec& layout)
      : program_(program), kind_(kind), layout_(layout) {}

  virtual void OnClick(ControlId) {}
  virtual void UserForm_Activate() {}
  // Leaves Cancel at 0 to let the close proceed.
  virtual void UserForm_QueryClose(std::int16_t& /*Cancel*/, std::int16_t /*CloseMode*/) {}

  Program& program_;

 private:
  friend class Program;
  void Click(ControlId control) final;
  void Activate() final;
  bool MayClose(std::int16_t close_mode) final;
  void CloseRequested(std::int16_t close_mode) final;

  const ScreenKind kind_;
  const FormSpec& layout_;
  std::unique_ptr<FormWindow> window_;
};

}  // namespace setup
