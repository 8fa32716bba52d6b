#pragma once
// The confirmation screen: "開始" goes on to the progress screen, "終了" asks and leaves.

#include <cstdint>

#include "setup/screens/program.h"

namespace setup {

class UserForm2 final : public Screen {
 public:
  enum Control : ControlId { Label12, Label8, Label9, CommandButton1, CommandButton2 };
  static constexpr ScreenKind kKind = ScreenKind::kUserForm2;
  static const FormSpec& Layout();

  explicit UserForm2(Program& program) : Screen(program, kKind, Layout()) {}

  void UserForm_Activate() override;
  void UserForm_QueryClose(std::int16_t& Cancel, std::int16_t CloseMode) override;
  void CommandButton1_Click();
  void CommandButton2_Click();

  // -1 while busy: the form's own true, not a slip; the close guard takes any non-zero value.
  std::int16_t Busy = 0;

 private:
  void OnClick(ControlId control) override;
};

}  // namespace setup
