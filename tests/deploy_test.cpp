// Placing the tool's files: where each file ends up, with what bytes, and what is reported.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "setup/install/deploy.h"
#include "tests/support/installer_harness.h"

namespace setup::testing {
namespace {

using Names = std::vector<std::string>;
using Files = std::map<std::string, std::string>;  // name -> bytes

const InstallLocations kLocations{.SourceDir = "D:\\SETUP",
                                  .WindowsDir = "C:\\WINDOWS\\",
                                  .InstallDir = "C:\\Tessaradyne",
                                  .InstallDirSlash = "C:/Tessaradyne"};

class DeployTest : public ::testing::Test {
 protected:
  void Source(const Files& files) {
    for (const auto& [name, bytes] : files) h.root.WriteFile("d/SETUP/" + name, bytes);
  }
  void Installed(const Files& files) {
    h.root.MakeFolder("c/Tessaradyne");
    for (const auto& [name, bytes] : files) h.root.WriteFile("c/Tessaradyne/" + name, bytes);
  }
  Names Deploy(const InstallLocations& locations = kLocations) {
    Names unplaced = DeployProgramFiles(h.files, locations);
    std::ranges::sort(unplaced);
    return unplaced;
  }
  Files Contents(const std::string& folder) {
    Files files;
    for (const std::string& name : h.root.ListSorted(folder)) {
      files[name] = h.root.ReadFile(folder + "/" + name).value_or("<folder>");
    }
    return files;
  }
  // The first ".mns" name in the order the file system lists the source folder.
  std::string FirstListedMenu() {
    Names names;
    EXPECT_TRUE(h.disk.ListFiles("D:\\SETUP", names).ok());
    for (const std::string& name : names) {
      if (KindOf(name) == ToolFileKind::kMns) return name;
    }
    return {};
  }

  InstallerHarness h;
};

TEST_F(DeployTest, FirstInstallMovesEveryToolFileAndNothingElse) {
  Files tools = {{"Tool.Dvb", "T"},
                 {"B.BMP", "B"},
                 {"a.bmp", "A"},
                 {"TessaradyneTOOL.mns", "menu"},
                 {"extra.MNS", "E"}};
  for (int i = 1; i <= 12; ++i) tools["t" + std::to_string(i) + ".dvb"] = std::to_string(i);
  const Files others = {{"org_TOOL", "xxxxx"}, {"setup.exe", "MZ"}, {"tool.dvbx", "x"},
                        {"toolmns", "m"},      {"mns", "n"},        {".hidden.dvb", "h"}};
  Source(tools);
  Source(others);
  h.root.MakeFolder("d/SETUP/sub.dvb");
  h.root.WriteFile("d/SETUP/sub.dvb/inner.dvb", "i");

  EXPECT_EQ(Deploy(), Names{});
  EXPECT_EQ(Contents("c/Tessaradyne"), tools);
  Files left = others;
  left["sub.dvb"] = "<folder>";
  EXPECT_EQ(Contents("d/SETUP"), left);
}

TEST_F(DeployTest, ReinstallReplacesDvbAndFirstMenusKeepsBitmapsAndOtherMenus) {
  Installed({{"tool.dvb", "old dvb"},
             {"tool.bmp", "old bmp"},
             {"first.mns", "old first"},
             {"other.mns", "old other"},
             {"TessaradyneTOOL.mns", "old menu"}});
  const Files fresh = {{"tool.dvb", "new dvb"},
                       {"tool.bmp", "new bmp"},
                       {"first.mns", "new first"},
                       {"other.mns", "new other"},
                       {"TessaradyneTOOL.mns", "new menu"},
                       {"new.bmp", "new only"}};
  Source(fresh);
  const std::string first = FirstListedMenu();

  EXPECT_EQ(Deploy(), Names{});
  Files installed = {{"tool.dvb", "new dvb"},    {"tool.bmp", "old bmp"},
                     {"new.bmp", "new only"},    {"TessaradyneTOOL.mns", "new menu"},
                     {"first.mns", "old first"}, {"other.mns", "old other"}};
  Files source = {{"tool.bmp", "new bmp"}, {"first.mns", "new first"}, {"other.mns", "new other"}};
  // The first-listed menu replaces its installed copy; other menus keep theirs.
  installed[first] = fresh.at(first);
  source.erase(first);
  EXPECT_EQ(Contents("c/Tessaradyne"), installed) << "first listed: " << first;
  EXPECT_EQ(Contents("d/SETUP"), source) << "first listed: " << first;
}

TEST_F(DeployTest, StartedFromInsideTheInstallFolderMovesAndDeletesNothing) {
  const Files tools = {{"tool.dvb", "dvb"}, {"tool.bmp", "bmp"}, {"TessaradyneTOOL.mns", "m"}};
  Installed(tools);
  ASSERT_EQ(symlink(h.root.Join("c/Tessaradyne").c_str(), h.root.Join("d/link").c_str()), 0);
  for (const char* spelling : {"C:\\Tessaradyne", "C:\\.\\Tessaradyne\\", "D:\\link"}) {
    InstallLocations locations = kLocations;
    locations.SourceDir = spelling;
    EXPECT_EQ(Deploy(locations), Names{}) << spelling;
    EXPECT_EQ(Contents("c/Tessaradyne"), tools) << spelling;
  }
}

struct Fault {
  const char* name;
  std::vector<std::pair<FsOp, std::string>> failing;
  Names unplaced;
  bool first_install_only = false;
};

// Each failure leaves every tool file whole, in the source folder or in the install folder,
// and an installed copy that could not be replaced keeps its old bytes.
TEST_F(DeployTest, FailuresAreReportedAndLoseNothing) {
  const Fault faults[] = {
      {"install folder cannot be made",
       {{FsOp::kMakeFolder, "C:\\Tessaradyne"}},
       {"TessaradyneTOOL.mns", "a.bmp", "t.dvb", "x.mns"},
       true},
      {"dvb cannot replace", {{FsOp::kReplace, "t.dvb"}}, {"t.dvb"}},
      {"bitmap cannot move", {{FsOp::kMove, "a.bmp"}}, {"a.bmp"}},
      {"menu file cannot replace",
       {{FsOp::kReplace, "TessaradyneTOOL.mns"}},
       {"TessaradyneTOOL.mns"}},
      {"other menu cannot move", {{FsOp::kMove, "x.mns"}, {FsOp::kReplace, "x.mns"}}, {"x.mns"}},
      {"source folder cannot be listed", {{FsOp::kList, "D:\\SETUP"}}, {"*.bmp", "*.dvb", "*.mns"}},
  };
  const Files fresh = {{"t.dvb", "new t"},
                       {"a.bmp", "new a"},
                       {"x.mns", "new x"},
                       {"TessaradyneTOOL.mns", "new menu"}};
  for (const Fault& fault : faults) {
    for (bool reinstall : {false, true}) {
      if (reinstall && fault.first_install_only) continue;
      InstallerHarness run;
      if (reinstall) {
        run.root.MakeFolder("c/Tessaradyne");
        run.root.WriteFile("c/Tessaradyne/t.dvb", "old t");
        run.root.WriteFile("c/Tessaradyne/TessaradyneTOOL.mns", "old menu");
      }
      for (const auto& [name, bytes] : fresh) run.root.WriteFile("d/SETUP/" + name, bytes);
      for (const auto& [op, path] : fault.failing) {
        run.files.FailOn(op, path, StatusCode::kAccessDenied);
      }
      Names unplaced = DeployProgramFiles(run.files, kLocations);
      std::ranges::sort(unplaced);
      const std::string where = std::string(fault.name) + (reinstall ? " (reinstall)" : "");
      EXPECT_EQ(unplaced, fault.unplaced) << where;
      for (const auto& [name, bytes] : fresh) {
        const auto in_source = run.root.ReadFile("d/SETUP/" + name);
        const auto installed = run.root.ReadFile("c/Tessaradyne/" + name);
        const std::string kind = "*" + name.substr(name.size() - 4);
        const bool reported =
            std::ranges::count(unplaced, name) + std::ranges::count(unplaced, kind) > 0;
        // A reported file is still whole in the source folder; a placed one is installed.
        EXPECT_EQ(reported ? in_source : installed, bytes) << where << ": " << name;
        if (reported && reinstall && (name == "t.dvb" || name == "TessaradyneTOOL.mns")) {
          EXPECT_EQ(installed, name == "t.dvb" ? "old t" : "old menu") << where << ": " << name;
        }
      }
    }
  }
}

TEST(KindOfTest, DecidedByTheLastFourCharactersInAnyCase) {
  const std::pair<const char*, ToolFileKind> cases[] = {
      {"a.dvb", ToolFileKind::kDvb},    {"TOOL.DVB", ToolFileKind::kDvb},
      {".bmp", ToolFileKind::kBmp},     {"x.Bmp", ToolFileKind::kBmp},
      {"TOOL.MNS", ToolFileKind::kMns}, {"tool.dvbx", ToolFileKind::kNone},
      {"toolmns", ToolFileKind::kNone}, {"mns", ToolFileKind::kNone},
      {"", ToolFileKind::kNone},        {"ツール.mns", ToolFileKind::kMns},
  };
  for (auto [name, kind] : cases) EXPECT_EQ(KindOf(name), kind) << name;
}

}  // namespace
}  // namespace setup::testing
