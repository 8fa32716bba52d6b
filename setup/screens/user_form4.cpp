#include "setup/screens/user_form4.h"

#include "setup/install/install_run.h"

namespace setup {

namespace {

// clang-format off
constexpr ControlSpec kControls[] = {
    {.id = UserForm4::ProgressBar1, .name = "ProgressBar1", .kind = ControlKind::kProgressBar,
     .left = 24, .top = 36, .width = 282, .height = 18, .tab_index = 0,
     .tab_stop = false},
    {.id = UserForm4::Label1, .name = "Label1", .kind = ControlKind::kLabel,
     .left = 24, .top = 60, .width = 282, .height = 12, .tab_index = 1,
     .font = {"MS UI Gothic", 9}, .tab_stop = false, .word_wrap = true},
};
// clang-format on

constexpr FormSpec kLayout{.name = "UserForm4",
                           .title = "Kestrelwin　セットアップ",
                           .client_width = 330,
                           .client_height = 102.75,
                           .controls = kControls};

}  // namespace

const FormSpec& UserForm4::Layout() {
  return kLayout;
}

void UserForm4::UserForm_Activate() {
  RunInstall(program_, *this);
}

void UserForm4::UserForm_QueryClose(std::int16_t& Cancel, std::int16_t CloseMode) {
  CloseGuard(Busy, Cancel, CloseMode);
}

}  // namespace setup
