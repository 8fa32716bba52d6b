#include "setup/screens/user_form4.h"

#include <algorithm>

#include "setup/env/locations.h"
#include "setup/install/deploy.h"
#include "setup/install/patient_file_system.h"
#include "setup/install/tool_menu.h"

namespace setup {

namespace {

constexpr std::uint32_t kPause = 1000;
constexpr std::size_t kMaxListedFiles = 20;

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
static_assert(IdsAreIndices(kControls));

constexpr FormSpec kLayout{.name = "UserForm4",
                           .title = "Kestrelwin　セットアップ",
                           .client_width = 330,
                           .client_height = 102.75,
                           .controls = kControls};

}  // namespace

const FormSpec& UserForm4::Layout() {
  return kLayout;
}

std::string IncompleteMessage(const std::vector<std::string>& unplaced) {
  std::string text =
      "    セットアップは終了しましたが、次のファイルをインストールできませんでした。    ";
  const std::size_t listed = std::min(unplaced.size(), kMaxListedFiles);
  for (std::size_t i = 0; i < listed; ++i) {
    text += "\r\n";
    text += unplaced[i];
  }
  if (unplaced.size() > listed) {
    text += "\r\nほか " + std::to_string(unplaced.size() - listed) + " 件";
  }
  return text;
}

void UserForm4::UserForm_QueryClose(std::int16_t& Cancel, std::int16_t CloseMode) {
  CloseGuard(Busy, Cancel, CloseMode);
}

void UserForm4::SetBusy(bool busy) {
  Busy = busy ? -1 : 0;
  window().SetShutdownReason(busy ? "Tessaradyne のセットアップを実行しています。" : "");
}

void UserForm4::AbortSetup(std::string_view reason) {
  program_.AbortReason = reason;
  program_.Ask(program_.AbortReason + "セットアップを中止します。", kMbOk | kMbIconError);
  program_.Unload(kKind);
  program_.End(kExitAborted);
}

void UserForm4::LogPlacing(const FilePlacing& file) {
  const std::string name(file.name);
  switch (file.how) {
    case FilePlacing::kPlaced:
      return program_.Log("placed: " + name);
    case FilePlacing::kKept:
      return program_.Log("kept: " + name + " (installed before)");
    case FilePlacing::kNotPlaced:
      return program_.Log("not placed: " + name + ": " + std::string(file.cause));
  }
}

void UserForm4::UserForm_Activate() {
  const Platform& platform = program_.platform();
  System& system = platform.system;
  InstallLocations& locations = program_.locations();
  // Wherever messages run, a close the guard allows (or the end of the program) may have taken
  // the screen away; the run stops there and touches nothing of it.
  const auto still_here = [&] { return loaded() && !program_.ended(); };
  // The screen repaints, and a close attempt meets the guard, only where messages run.
  const auto show_status = [&](std::string_view text) {
    SetStatus(text);
    platform.forms.ProcessMessages();
    return still_here();
  };
  const auto pause_then_progress = [&](float value) {
    program_.Pause(kPause);
    SetProgress(value);
  };

  SetStatus("setup ready!");
  // Centred, then left again before anything repaints: the label only ever shows left-aligned.
  window().SetTextAlign(Label1, kAlignCentre);
  window().SetTitle("Tessaradyne SETUP");
  window().SetTextAlign(Label1, kAlignLeft);
  const int answer = program_.Ask("    セットアップを開始します。 よろしいですか？    ", kMbYesNo);
  // Closed from outside while asking (End task, the end of the session): the user has left,
  // and no other screen may open now.
  if (!still_here()) return;
  if (answer != kIdYes) {
    program_.Unload(kKind);
    program_.LoadAndShow(ScreenKind::kUserForm2);
    return;
  }
  SetBusy(true);

  pause_then_progress(10);
  if (!show_status("get setup holderpass...")) return;
  program_.Pause(kPause);
  if (Status s = system.ApplicationPath(locations.SourceDir); !s.ok()) {
    program_.Fail(s.message());
    return;
  }
  if (!GetWindowsDir(system, locations.WindowsDir).ok()) {
    AbortSetup(kNoSystemFolderReason);
    return;
  }
  DeriveInstallDirs(locations);

  // From here to the end of deployment a failing file operation does not stop the run: each
  // step decides for itself which failures end it and which it only reports.
  pause_then_progress(70);
  // "nemu" is how these status texts have always read; they stay as users know them.
  if (!show_status("setup AutoCAD nemu file...")) return;
  pause_then_progress(80);
  platform.forms.ProcessMessages();
  if (!still_here()) return;
  pause_then_progress(90);
  if (!show_status("setup tool nemu file...")) return;
  // One patience for the whole run: a folder where everything stays locked still ends soon.
  PatientFileSystem files(platform.files, system);
  if (const MenuOutcome menu = GenerateToolMenu(files, system.AnsiCodePage(), locations,
                                                [&] { program_.Pause(kPause); });
      !menu.abort_reason.empty()) {
    AbortSetup(menu.abort_reason);
    return;
  }
  program_.Log(std::string("menu: ") + std::string(kMenuFileName) + " written");
  const std::vector<std::string> unplaced =
      DeployProgramFiles(files, locations, [&](const FilePlacing& file) { LogPlacing(file); });
  for (const std::string& name : unplaced) {
    if (name.starts_with('*')) program_.Log("missing: " + name);
  }

  // Installed: that stands however the program ends from here on.
  program_.set_exit_code(unplaced.empty() ? kExitInstalled : kExitIncomplete);
  pause_then_progress(100);
  if (!show_status("setup complete...")) return;
  if (unplaced.empty()) {
    program_.Ask("    セットアップは正常に終了しました。    ", kMbOk | kMbIconInformation);
  } else {
    program_.Ask(IncompleteMessage(unplaced), kMbOk | kMbIconWarning);
  }
  if (!still_here()) return;
  SetProgress(0);
  window().SetEnabled(ProgressBar1, false);
  SetBusy(false);
  program_.Hide(kKind);
  program_.Unload(kKind);
}

}  // namespace setup
