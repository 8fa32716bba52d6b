#include "setup/install/install_run.h"

#include <algorithm>

#include "setup/install/deploy.h"
#include "setup/install/tool_menu.h"
#include "setup/screens/user_form4.h"

namespace setup {

namespace {

constexpr std::uint32_t kPause = 1000;
constexpr std::size_t kMaxListedFiles = 20;

}  // namespace

void AbortSetup(Program& program, std::string_view reason) {
  program.AbortReason = reason;
  program.platform().boxes.Ask(program.AbortReason + "セットアップを中止します。", kBoxTitle,
                               kMbOk | kMbIconError);
  program.Unload(ScreenKind::kUserForm4);
  program.End(kExitAborted);
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

void RunInstall(Program& program, UserForm4& form) {
  const Platform& platform = program.platform();
  System& system = platform.system;
  InstallLocations& locations = program.locations();
  // The screen repaints, and a close attempt meets the guard, only where messages run.
  const auto show_status = [&](std::string_view text) {
    form.SetStatus(text);
    platform.forms.ProcessMessages();
  };
  const auto pause_then_progress = [&](float value) {
    system.Sleep(kPause);
    form.SetProgress(value);
  };

  form.SetStatus("setup ready!");
  form.SetStatusAlign(kAlignCentre);
  form.window().SetTitle("Tessaradyne SETUP");
  form.SetStatusAlign(kAlignLeft);
  if (platform.boxes.Ask("    セットアップを開始します。 よろしいですか？    ", kBoxTitle,
                         kMbYesNo) != kIdYes) {
    program.Unload(UserForm4::kKind);
    program.LoadAndShow(ScreenKind::kUserForm2);
    return;
  }
  form.Busy = -1;

  pause_then_progress(10);
  show_status("get setup holderpass...");
  system.Sleep(kPause);
  if (Status s = system.ApplicationPath(locations.SourceDir); !s.ok()) {
    program.Fail(s);
    return;
  }
  if (!GetWindowsDir(system, locations.WindowsDir).ok()) {
    AbortSetup(program, kNoSystemFolderReason);
    return;
  }
  DeriveInstallDirs(locations);

  // From here to the end of deployment a failing file operation does not stop the run: each
  // step decides for itself which failures end it and which it only reports.
  pause_then_progress(70);
  show_status("setup AutoCAD nemu file...");
  pause_then_progress(80);
  platform.forms.ProcessMessages();
  pause_then_progress(90);
  show_status("setup tool nemu file...");
  if (!GenerateToolMenu(program)) return;
  const std::vector<std::string> unplaced = DeployProgramFiles(platform.files, locations);

  pause_then_progress(100);
  show_status("setup complete...");
  if (unplaced.empty()) {
    platform.boxes.Ask("    セットアップは正常に終了しました。    ", kBoxTitle,
                       kMbOk | kMbIconInformation);
  } else {
    platform.boxes.Ask(IncompleteMessage(unplaced), kBoxTitle, kMbOk | kMbIconWarning);
  }
  form.SetProgress(0);
  form.DisableProgress();
  form.Busy = 0;
  program.set_exit_code(unplaced.empty() ? kExitInstalled : kExitIncomplete);
  program.Hide(UserForm4::kKind);
  program.Unload(UserForm4::kKind);
}

}  // namespace setup
