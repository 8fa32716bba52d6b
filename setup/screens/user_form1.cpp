#include "setup/screens/user_form1.h"

namespace setup {

namespace {

constexpr FontSpec kButtonFont{"MS UI Gothic", 9};

// clang-format off
constexpr ControlSpec kControls[] = {
    {.id = UserForm1::ListBox1, .name = "ListBox1", .kind = ControlKind::kListBox,
     .left = 36, .top = 30, .width = 378.7, .height = 137.8, .tab_index = 0,
     .font = {"ＭＳ ゴシック", 9}, .tab_stop = false},
    {.id = UserForm1::Command1, .name = "Command1", .kind = ControlKind::kButton, .caption = "次へ",
     .left = 258, .top = 222, .width = 72, .height = 24, .tab_index = 1,
     .font = kButtonFont, .enabled = false},
    {.id = UserForm1::Command2, .name = "Command2", .kind = ControlKind::kButton, .caption = "終了",
     .left = 342, .top = 222, .width = 72, .height = 24, .tab_index = 2,
     .font = kButtonFont},
    {.id = UserForm1::Command3, .name = "Command3", .kind = ControlKind::kButton, .caption = "同意する",
     .left = 150, .top = 180, .width = 60, .height = 24, .tab_index = 3,
     .font = kButtonFont},
    {.id = UserForm1::Command4, .name = "Command4", .kind = ControlKind::kButton, .caption = "同意しない",
     .left = 240, .top = 180, .width = 60, .height = 24, .tab_index = 4,
     .font = kButtonFont},
};
// clang-format on
static_assert(IdsAreIndices(kControls));

constexpr FormSpec kLayout{.name = "UserForm1",
                           .title = "Kestrelwin 使用許諾",
                           .client_width = 454.5,
                           .client_height = 263.25,
                           .controls = kControls};

}  // namespace

const FormSpec& UserForm1::Layout() {
  return kLayout;
}

void UserForm1::OnClick(ControlId control) {
  switch (control) {
    case Command1:
      return Command1_Click();
    case Command2:
      return Command2_Click();
    case Command3:
      return Command3_Click();
    case Command4:
      return Command4_Click();
    default:
      return;
  }
}

void UserForm1::UserForm_Activate() {
  for (std::string_view row : AgreementLines) window().AddListRow(ListBox1, row);
}

void UserForm1::Command1_Click() {
  program_.Unload(kKind);
  program_.LoadAndShow(ScreenKind::kUserForm2);
}

void UserForm1::Command2_Click() {
  program_.End(kExitUserLeft);
}

void UserForm1::Command3_Click() {
  window().SetEnabled(Command1, true);
}

void UserForm1::Command4_Click() {
  window().SetEnabled(Command1, false);
}

}  // namespace setup
