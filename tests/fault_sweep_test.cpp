// Every file-system call of menu writing and deployment failed in turn, before it takes effect
// and after (a call whose answer is lost half way), with each kind of failure: no tool file may
// be lost, no temporary left, and what the run reports must be true.

#include <gtest/gtest.h>

#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "setup/install/deploy.h"
#include "setup/install/tool_menu.h"
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
const InstallLocations kLocations{
    .SourceDir = "E:\\SETUP", .InstallDir = "C:\\Tessaradyne", .InstallDirSlash = "C:/Tessaradyne"};

struct Sweep {
  std::size_t runs = 0, faults = 0, lost = 0;
};

// One run of menu writing and deployment from drive `drive` with call `n` failing (0: none).
// Returns the calls made.
std::size_t RunWithFault(char drive, bool reinstall, std::size_t n, StatusCode code, bool after,
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
  disk.files.FailCall(n, code, after);
  PauseProbe system;
  InstallLocations locations = kLocations;
  locations.SourceDir[0] = static_cast<char>(drive - 'a' + 'A');
  const MenuOutcome menu = GenerateToolMenu(disk.files, system, locations);
  std::vector<std::string> unplaced;
  if (menu.abort_reason.empty()) unplaced = DeployProgramFiles(disk.files, locations);

  SCOPED_TRACE(std::string(reinstall ? "reinstall" : "first install") + " from " + source +
               ", call " + std::to_string(n) + (after ? " after" : " before") + " (" +
               disk.files.failed() + ") failing with " + std::to_string(static_cast<int>(code)));
  ++sweep.runs;
  sweep.faults += disk.files.failed().empty() ? 0 : 1;
  const std::string& failed = disk.files.failed();
  const bool aborted = !menu.abort_reason.empty();
  if (aborted) {
    // Only reading the template and writing the menu may stop the install, each with its reason.
    const bool reading = failed.starts_with("open " + locations.SourceDir + "\\org_TOOL") ||
                         failed.starts_with("read ");
    EXPECT_EQ(menu.abort_reason, reading
                                     ? (failed.starts_with("open") && code == StatusCode::kNotFound
                                            ? kNoTemplateReason
                                            : kUnreadableTemplateReason)
                                     : kUnwritableMenuReason);
    EXPECT_TRUE(reading || failed.find("TessaradyneTOOL") != std::string::npos) << failed;
  }
  Files expected = kToolFiles;
  if (!aborted) expected["TessaradyneTOOL.mns"] = kMenu;
  const Names named(unplaced.begin(), unplaced.end());
  // Without a failure everything is placed: read-only sources, read-only copies replaced.
  EXPECT_TRUE(n != 0 || named.empty());
  for (const auto& [name, bytes] : expected) {
    const auto left = disk.Read(source + "/" + name);
    const auto installed = disk.Read("c/Tessaradyne/" + name);
    if (installed == bytes) {
      // Named only when really not installed.
      EXPECT_FALSE(named.contains(name)) << name << " named but installed";
      continue;
    }
    if (left != bytes) {
      ++sweep.lost;
      ADD_FAILURE() << name << " is whole in neither folder";
      continue;
    }
    // Not installed: an old copy keeps its bytes, and the file is named unless kept back by
    // design (an installed bitmap or second menu) or the install stopped before placing.
    EXPECT_EQ(installed, old.empty() ? std::nullopt : std::optional(old.at(name))) << name;
    // A read-only mark cleared for the replacement comes back when it fails.
    if (installed && name == "Tessaradyne.dvb") {
      EXPECT_TRUE(disk.IsReadOnly("c/Tessaradyne/" + name));
    }
    const bool kept = installed && (name == "TdDraw16.bmp" || name == "TdExtra.mns");
    if (!aborted && !kept) {
      EXPECT_TRUE(named.contains(name) || named.contains("*" + name.substr(name.size() - 4)))
          << name << " not named";
    }
  }
  if (aborted) {
    // No menu file of this run, neither installed nor beside the template.
    const auto menu_left = disk.Read("c/Tessaradyne/TessaradyneTOOL.mns");
    EXPECT_EQ(menu_left, old.empty() ? std::nullopt : std::optional<std::string>("old menu"));
    EXPECT_EQ(disk.Read(source + "/TessaradyneTOOL.mns"), std::nullopt);
  }
  for (const std::string& folder : {source, std::string("c/Tessaradyne")}) {
    for (const auto& [name, bytes] : disk.Contents(folder)) {
      EXPECT_TRUE(name != "TessaradyneTOOL.tmp" && name.find(".~setup-") == std::string::npos)
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
      const std::size_t calls = RunWithFault(drive, reinstall, 0, StatusCode::kOk, false, sweep);
      EXPECT_GT(calls, 20u);
      for (std::size_t n = 1; n <= calls; ++n) {
        for (StatusCode code : codes) {
          for (bool after : {false, true}) RunWithFault(drive, reinstall, n, code, after, sweep);
        }
      }
    }
  }
  std::cout << "fault sweep: " << sweep.runs << " runs, " << sweep.faults << " faults injected, "
            << sweep.lost << " files lost\n";
  EXPECT_EQ(sweep.lost, 0u);
}

}  // namespace
}  // namespace setup::testing
