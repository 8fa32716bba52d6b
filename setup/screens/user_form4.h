#pragma once
// The progress screen. Showing it starts the install run, which is its activation handler.

#include <cstdint>
#include <string_view>

#include "setup/screens/program.h"

namespace setup {

class UserForm4 final : public Screen {
 public:
  enum Control : ControlId { ProgressBar1, Label1 };
  static constexpr ScreenKind kKind = ScreenKind::kUserForm4;
  static const FormSpec& Layout();

  explicit UserForm4(Program& program) : Screen(program, kKind, Layout()) {}

  void UserForm_Activate() override;
  void UserForm_QueryClose(std::int16_t& Cancel, std::int16_t CloseMode) override;

  // What the install run does to the screen.
  void SetStatus(std::string_view text) { window().SetCaption(Label1, text); }
  void SetProgress(float value) { window().SetProgress(ProgressBar1, value); }
  void SetStatusAlign(int align) { window().SetTextAlign(Label1, align); }
  void DisableProgress() { window().SetEnabled(ProgressBar1, false); }

  std::int16_t Busy = 0;  // -1 while the run must not be interrupted
};

}  // namespace setup
