// The whole install, driven through the program's screens with quiet forms, with every
// file-system call of the run failed in turn: before it takes effect, after it (an answer lost
// half way), or by throwing, as where memory runs out; with each kind of failure. No tool file may
// be lost, no temporary left, and the last message and the exit status must tell the truth.

#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <string>

#include "setup/screens/setup1.h"
#include "setup/screens/user_form1.h"
#include "setup/screens/user_form2.h"
#include "tests/support/quiet_forms.h"
#include "tests/support/scratch.h"

namespace setup::testing {
namespace {

using Names = std::set<std::string>;

// 作成 (8D EC 90 AC) and ツール (83 63 81 5B 83 8B) around placeholders; no line end at the end.
const std::string kTemplate =
    "ID_TdDraw [\x8D\xEC\x90\xAC]^C^C-vbarun \"xxxxxTessaradyne.dvb!Draw.Start\"\r\n"
    "ID_TdDrawB [_Button(\"\x83\x63\x81\x5B\x83\x8B\", \"xxxxxTdDraw16.bmp\")]";
const std::string kMenu =
    "ID_TdDraw [\x8D\xEC\x90\xAC]^C^C-vbarun \"C:/Tessaradyne/Tessaradyne.dvb!Draw.Start\"\r\n"
    "ID_TdDrawB [_Button(\"\x83\x63\x81\x5B\x83\x8B\", \"C:/Tessaradyne/TdDraw16.bmp\")]\r\n";
// Read-only, as from a CD.
const Files kToolFiles = {{"Tessaradyne.dvb", "new dvb"},
                          {"TdLabel.dvb", "new label dvb"},
                          {"TdDraw16.bmp", "new bmp 16"},
                          {"TdExtra.mns", "new extra menu"}};
const std::string kAbort = "セットアップを中止します。";
const std::string kNoTemplate = "ツールメニューファイルがありません!!  ";
const std::string kUnreadable = "ツールメニューファイルを読み込めません!!  ";
const std::string kUnwritable = "ツールメニューファイルへの書き込みができません!!  ";
const std::string kIncomplete =
    "    セットアップは終了しましたが、次のファイルをインストールできませんでした。    ";

enum class Mode { kBefore, kAfter, kThrow };

struct Sweep {
  std::size_t runs = 0, faults = 0, lost = 0;
};

// One install from drive `drive` with the run's call `n` failing (0: none). Returns the calls.
std::size_t InstallWithFault(char drive, bool reinstall, std::size_t n, StatusCode code, Mode mode,
                             Sweep& sweep) {
  Scratch disk;
  const std::string source = std::string(1, drive) + "/SETUP";
  disk.Write(source, kToolFiles);
  disk.Write(source + "/org_TOOL", kTemplate);
  for (const auto& [name, bytes] : kToolFiles) disk.MakeReadOnly(source + "/" + name);
  Files old;
  if (reinstall) {
    for (const auto& [name, bytes] : kToolFiles) old[name] = "old " + name;
    old["TessaradyneTOOL.mns"] = "old menu";
    disk.Write("c/Tessaradyne", old);
    disk.MakeReadOnly("c/Tessaradyne/Tessaradyne.dvb");
  }
  QuietForms forms;
  PauseProbe system;
  system.application_path = std::string(1, char(drive - 'a' + 'A')) + ":\\SETUP";
  {
    Program program(Platform{forms, forms, system, disk.files});
    Main(program);
    forms.current->Click(UserForm1::Command3);
    forms.current->Click(UserForm1::Command1);
    forms.current->Click(UserForm2::CommandButton1);
    disk.files.FailCall(n, code, mode == Mode::kAfter, mode == Mode::kThrow);
    forms.current->Activate();
  }
  const std::string& failed = disk.files.failed();
  SCOPED_TRACE(std::string(reinstall ? "reinstall" : "first install") + " from " + source +
               ", call " + std::to_string(n) + " failing " + std::to_string(int(mode)) + " (" +
               failed + ") with " + std::to_string(int(code)));
  ++sweep.runs;
  sweep.faults += failed.empty() ? 0 : 1;
  if (forms.boxes.size() != 2 || forms.exit_codes.size() != 1) {
    ADD_FAILURE() << forms.boxes.size() << " boxes, " << forms.exit_codes.size() << " ends";
    return disk.files.calls();
  }
  const auto& [said, flags] = forms.boxes[1];
  const bool unexpected = said.starts_with("セットアップ中に予期しないエラーが発生しました。");
  const bool aborted = unexpected || said.ends_with(kAbort);
  const bool incomplete = said.starts_with(kIncomplete);
  // A throw ends the install as an unexpected failure; only reading the template and writing the
  // menu file may stop it otherwise, each with its reason.
  EXPECT_EQ(unexpected, mode == Mode::kThrow && !failed.empty()) << said;
  const bool reading = failed.starts_with("open ") || failed.starts_with("read ");
  if (!unexpected && (reading || aborted)) {
    EXPECT_EQ(said, (!reading                                                      ? kUnwritable
                     : failed.starts_with("open") && code == StatusCode::kNotFound ? kNoTemplate
                                                                                   : kUnreadable) +
                        kAbort);
    EXPECT_TRUE(reading || failed.find("TessaradyneTOOL.") != failed.npos) << failed;
  }
  EXPECT_EQ(forms.exit_codes[0], aborted      ? kExitAborted
                                 : incomplete ? kExitIncomplete
                                              : kExitInstalled);
  EXPECT_EQ(flags, kMbOk | (aborted      ? kMbIconError
                            : incomplete ? kMbIconWarning
                                         : kMbIconInformation));
  Names named;
  for (std::size_t at = said.find("\r\n"); at != said.npos; at = said.find("\r\n", at + 2)) {
    named.insert(said.substr(at + 2, said.find("\r\n", at + 2) - at - 2));
  }
  // Without a failure everything is placed: read-only sources, read-only copies replaced.
  EXPECT_TRUE(n != 0 || (named.empty() && !aborted)) << said;
  // The menu file is a tool file like the others once made; an abort leaves none of this run,
  // and an unexpected failure may come before or after it is made.
  const bool menu_made = disk.Read(source + "/TessaradyneTOOL.mns") == kMenu ||
                         disk.Read("c/Tessaradyne/TessaradyneTOOL.mns") == kMenu;
  Files expected = kToolFiles;
  if (!aborted || (unexpected && menu_made)) expected["TessaradyneTOOL.mns"] = kMenu;
  for (const auto& [name, bytes] : expected) {
    const auto left = disk.Read(source + "/" + name);
    const auto installed = disk.Read("c/Tessaradyne/" + name);
    if (installed == bytes) {
      EXPECT_FALSE(named.contains(name)) << name << " named but installed";
      continue;
    }
    if (left != bytes) {
      ++sweep.lost;
      ADD_FAILURE() << name << " is whole in neither folder";
      continue;
    }
    // Not installed: an old copy keeps its bytes and its read-only mark, and the file is named
    // unless kept back by design (an installed bitmap or second menu) or the install stopped.
    EXPECT_EQ(installed, old.empty() ? std::nullopt : std::optional(old.at(name))) << name;
    if (installed && name == "Tessaradyne.dvb") {
      EXPECT_TRUE(disk.IsReadOnly("c/Tessaradyne/" + name));
    }
    const bool kept = installed && (name == "TdDraw16.bmp" || name == "TdExtra.mns");
    EXPECT_TRUE(aborted || kept || named.contains(name) ||
                named.contains("*" + name.substr(name.size() - 4)))
        << name << " not named";
  }
  if (aborted && !unexpected) {
    // No menu file of this run, neither installed nor beside the template.
    EXPECT_EQ(disk.Read("c/Tessaradyne/TessaradyneTOOL.mns"),
              old.empty() ? std::nullopt : std::optional<std::string>("old menu"));
    EXPECT_EQ(disk.Read(source + "/TessaradyneTOOL.mns"), std::nullopt);
  }
  for (const std::string& folder : {source, std::string("c/Tessaradyne")}) {
    for (const auto& [name, bytes] : disk.Contents(folder)) {
      EXPECT_TRUE(name != "TessaradyneTOOL.tmp" && name.find(".~setup-") == name.npos)
          << name << " left in " << folder;
    }
  }
  return disk.files.calls();
}

TEST(FaultSweepTest, NoFailureOfAnyCallLosesAFileOrMisreportsTheInstall) {
  const StatusCode codes[] = {StatusCode::kNotFound, StatusCode::kAccessDenied,
                              StatusCode::kSharingViolation, StatusCode::kDiskFull};
  Sweep sweep;
  // From a CD on another drive, where placing copies and removes the read-only sources, and
  // from a folder on the same drive, where it renames.
  for (char drive : {'e', 'd'}) {
    for (bool reinstall : {false, true}) {
      const std::size_t calls =
          InstallWithFault(drive, reinstall, 0, StatusCode::kOk, Mode::kBefore, sweep);
      EXPECT_GT(calls, 20u);
      for (std::size_t n = 1; n <= calls; ++n) {
        for (StatusCode code : codes) {
          for (Mode mode : {Mode::kBefore, Mode::kAfter}) {
            InstallWithFault(drive, reinstall, n, code, mode, sweep);
          }
        }
        InstallWithFault(drive, reinstall, n, StatusCode::kOk, Mode::kThrow, sweep);
      }
    }
  }
  std::cout << "fault sweep: " << sweep.runs << " runs, " << sweep.faults << " faults injected, "
            << sweep.lost << " files lost\n";
  EXPECT_EQ(sweep.lost, 0u);
}

}  // namespace
}  // namespace setup::testing
