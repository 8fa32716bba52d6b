#pragma once
// The licence agreement screen: "次へ" stays disabled until the user agrees.

#include <array>
#include <string_view>

#include "setup/screens/program.h"

namespace setup {

// Row n of the agreement list is entry n - 1. No row exceeds 40 characters: the list never
// wraps.
extern const std::array<std::string_view, 48> AgreementLines;

class UserForm1 final : public Screen {
 public:
  enum Control : ControlId { ListBox1, Command1, Command2, Command3, Command4 };
  static constexpr ScreenKind kKind = ScreenKind::kUserForm1;
  static const FormSpec& Layout();

  explicit UserForm1(Program& program) : Screen(program, kKind, Layout()) {}

  void UserForm_Activate() override;
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();

 private:
  void OnClick(ControlId control) override;
};

}  // namespace setup
