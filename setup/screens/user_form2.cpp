#include "setup/screens/user_form2.h"

namespace setup {

namespace {

constexpr FontSpec kLabelFont{"MS UI Gothic", 9};

// clang-format off
constexpr ControlSpec kControls[] = {
    {.id = UserForm2::Label12, .name = "Label12", .kind = ControlKind::kLabel,
     .caption = "ｱﾄﾞｵﾝﾀｲﾄﾙ　 ：　Tessaradyne",
     .left = 24, .top = 24, .width = 270, .height = 12, .tab_index = 3,
     .font = kLabelFont, .tab_stop = false},
    {.id = UserForm2::Label8, .name = "Label8", .kind = ControlKind::kLabel,
     .caption = "　　　　　　　　　　 Tessaradyne Pro 4.0",
     .left = 24, .top = 36, .width = 270, .height = 12, .tab_index = 4,
     .font = kLabelFont, .tab_stop = false},
    // Two lines high so that the whole sentence shows; it still ends above the buttons.
    {.id = UserForm2::Label9, .name = "Label9", .kind = ControlKind::kLabel,
     .caption = "セットアップを開始します。よろしければ 「開始」 ボタンを押してください。",
     .left = 36, .top = 114, .width = 270, .height = 24, .tab_index = 2,
     .font = kLabelFont, .tab_stop = false, .text_colour = Rgb{0, 0, 255}, .word_wrap = true},
    {.id = UserForm2::CommandButton1, .name = "CommandButton1", .kind = ControlKind::kButton,
     .caption = "開始",
     .left = 162, .top = 144, .width = 72, .height = 24, .tab_index = 0,
     .font = {"ＭＳ Ｐゴシック", 9.75}},
    {.id = UserForm2::CommandButton2, .name = "CommandButton2", .kind = ControlKind::kButton,
     .caption = "終了",
     .left = 246, .top = 144, .width = 60, .height = 24, .tab_index = 1,
     .font = {"ＭＳ Ｐゴシック", 9}},
};
// clang-format on
static_assert(IdsAreIndices(kControls));

constexpr FormSpec kLayout{.name = "UserForm2",
                           .title = "Kestrelwin　セットアップ",
                           .client_width = 340.5,
                           .client_height = 198,
                           .controls = kControls};

}  // namespace

const FormSpec& UserForm2::Layout() {
  return kLayout;
}

void UserForm2::OnClick(ControlId control) {
  switch (control) {
    case CommandButton1:
      return CommandButton1_Click();
    case CommandButton2:
      return CommandButton2_Click();
    default:
      return;
  }
}

void UserForm2::UserForm_Activate() {
  Busy = 0;
  window().SetFocus(CommandButton1);
}

void UserForm2::UserForm_QueryClose(std::int16_t& Cancel, std::int16_t CloseMode) {
  CloseGuard(Busy, Cancel, CloseMode);
}

void UserForm2::CommandButton1_Click() {
  if (Busy != 0) return;
  program_.Hide(kKind);
  program_.Unload(kKind);
  // Hiding and unloading cannot fail here; a progress screen that cannot be built is
  // reported rather than leaving the user with no screen and no word.
  program_.LoadAndShow(ScreenKind::kUserForm4);
}

void UserForm2::CommandButton2_Click() {
  const int answer = program_.Ask("インストールを中止します。よろしいですか？", kMbYesNo);
  // Closed from outside while asking: nothing is left to hide.
  if (answer != kIdYes || !loaded()) return;
  program_.Hide(kKind);
  program_.Unload(kKind);
}

}  // namespace setup
