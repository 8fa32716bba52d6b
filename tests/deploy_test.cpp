// Placing the tool's files: where each file ends up, with what bytes, and what is reported, under
// the Windows rules for read-only files and volumes.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup/install/deploy.h"
#include "setup/install/placement.h"
#include "tests/support/scratch.h"

namespace setup::testing {
namespace {

using Names = std::vector<std::string>;

InstallLocations From(const std::string& source) {
  return {.SourceDir = source, .InstallDir = "C:\\Tessaradyne"};
}

Names Deploy(Scratch& disk, const InstallLocations& locations) {
  Names unplaced = DeployProgramFiles(disk.files, locations);
  std::ranges::sort(unplaced);
  return unplaced;
}

enum class Target { kNone, kFolder, kLink, kFile };

// The first install and reinstall, read-only files and placing across drives are swept with every
// failure in the fault sweep.
TEST(DeployTest, PlacesToolFilesAndReportsWhatIsNotInstalled) {
  const Files fresh = {{"t.dvb", "new t"}, {"a.bmp", "new a"}, {"TessaradyneTOOL.mns", "new m"}};
  // Copies a killed run left, among names of the user's that only look like them.
  const Files users = {{"notes.~setup-x", "u"}, {"b.~setup-12b", "u"}, {"t.dvb.~setup-", "u"}};
  Files leftovers = {{"t.dvb.~setup-3", "copy"}, {"x.mns.~setup-12", "copy"}}, kept = users;
  leftovers.insert(users.begin(), users.end());
  kept.insert(fresh.begin(), fresh.end());
  const Names all_fresh = {"TessaradyneTOOL.mns", "a.bmp", "t.dvb"};
  const struct {
    const char* name;
    Files source, installed;
    Target target;
    Files want_installed, want_source;
    Names unplaced;
  } cases[] = {
      {"copies a killed run left", fresh, leftovers, Target::kFolder, kept, {}, {}},
      {"install folder is a link", fresh, {}, Target::kLink, {}, fresh, all_fresh},
      {"install folder is a file", fresh, {}, Target::kFile, {}, fresh, all_fresh},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch disk;
    disk.Write("d/SETUP", c.source);
    if (c.target == Target::kFolder) disk.Write("c/Tessaradyne", c.installed);
    if (c.target == Target::kFile) disk.Write("c/Tessaradyne", "a file");
    if (c.target == Target::kLink) {
      std::filesystem::create_directory(disk.Path("c/elsewhere"));
      std::filesystem::create_directory_symlink(disk.Path("c/elsewhere"),
                                                disk.Path("c/Tessaradyne"));
    }
    if (c.installed.contains("x.mns.~setup-12")) disk.MakeReadOnly("c/Tessaradyne/x.mns.~setup-12");
    EXPECT_EQ(Deploy(disk, From("D:\\SETUP")), c.unplaced);
    EXPECT_EQ(disk.Contents("c/Tessaradyne"), c.want_installed);
    EXPECT_EQ(disk.Contents("d/SETUP"), c.want_source);
    EXPECT_EQ(disk.Contents("c/elsewhere"), Files{});
  }
}

TEST(DeployTest, ACopyThatCannotBeLookedAtIsNoProofOfPlacing) {
  // Renaming the copy over the target fails, and so does every look at the copy afterwards:
  // the source must not be removed on the guess that the rename went through.
  Scratch disk;
  disk.Write("e/SETUP/t.dvb", "new");
  disk.Write("c/Tessaradyne/t.dvb", "old");
  disk.files.FailWhere(
      [](const std::string& call) {
        return call.find(".~setup-") != std::string::npos && !call.starts_with("copy") &&
               !call.starts_with("remove");
      },
      StatusCode::kIoError);
  EXPECT_EQ(Deploy(disk, From("E:\\SETUP")), Names{"t.dvb"});
  EXPECT_EQ(disk.Read("e/SETUP/t.dvb"), "new");
  EXPECT_EQ(disk.Read("c/Tessaradyne/t.dvb"), "old");
}

TEST(DeployTest, OnlyNamesOfOurCopiesCountAsTemporary) {
  // Hidden files never reach the clean-up on POSIX: the rule on names is checked alone.
  for (const char* name : {".~setup-1", "~setup-1", "a.~setup-", "a.~setup-1x", "a~setup-1"}) {
    EXPECT_FALSE(IsTemporaryCopy(name)) << name;
  }
  EXPECT_TRUE(IsTemporaryCopy("a.dvb.~setup-1"));
}

TEST(DeployTest, FirstListedMenuReplacesItsCopyOtherMenusKeepTheirs) {
  Scratch disk;
  disk.Write("c/Tessaradyne", {{"first.mns", "old first"}, {"other.mns", "old other"}});
  const Files fresh = {{"first.mns", "new first"}, {"other.mns", "new other"}};
  disk.Write("d/SETUP", fresh);
  Names listed;
  ASSERT_TRUE(disk.posix.ListFiles("D:\\SETUP", listed).ok());
  const std::string first = listed.front();

  EXPECT_EQ(Deploy(disk, From("D:\\SETUP")), Names{});
  Files installed = {{"first.mns", "old first"}, {"other.mns", "old other"}};
  Files source = fresh;
  installed[first] = fresh.at(first);
  source.erase(first);
  EXPECT_EQ(disk.Contents("c/Tessaradyne"), installed) << "first listed: " << first;
  EXPECT_EQ(disk.Contents("d/SETUP"), source) << "first listed: " << first;
}

TEST(DeployTest, StartedFromInsideTheInstallFolderMovesAndDeletesNothing) {
  Scratch disk;
  const Files tools = {{"tool.dvb", "dvb"}, {"tool.bmp", "bmp"}, {"TessaradyneTOOL.mns", "m"}};
  disk.Write("c/Tessaradyne", tools);
  std::filesystem::create_directory_symlink(disk.Path("c/Tessaradyne"), disk.Path("d/link"));
  for (const char* spelling : {"C:\\Tessaradyne", "C:\\.\\Tessaradyne\\", "D:\\link"}) {
    EXPECT_EQ(Deploy(disk, From(spelling)), Names{}) << spelling;
    EXPECT_EQ(disk.Contents("c/Tessaradyne"), tools) << spelling;
  }
}

}  // namespace
}  // namespace setup::testing
