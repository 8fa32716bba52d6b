// Placing the tool's files where the fault sweep does not reach: copies a killed run left, an
// install folder that is no folder, the first-listed menu, and the installer started from inside
// the install folder; all under the Windows rules for read-only files and volumes. The first
// install and reinstall, read-only files and placing across drives are the fault sweep's.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup/install/deploy.h"
#include "setup/install/placement.h"
#include "tests/support/scratch.h"

namespace setup::testing {
namespace {

using Names = std::vector<std::string>;

Names Deploy(Scratch& disk, const std::string& source = "D:\\SETUP") {
  Names unplaced =
      DeployProgramFiles(disk.files, {.SourceDir = source, .InstallDir = "C:\\Tessaradyne"});
  std::ranges::sort(unplaced);
  return unplaced;
}

const Files kFresh = {{"t.dvb", "new t"}, {"a.bmp", "new a"}, {"TessaradyneTOOL.mns", "new m"}};

TEST(DeployTest, CopiesAKilledRunLeftGoUsersFilesStay) {
  Scratch disk;
  disk.Write("d/SETUP", kFresh);
  const Files users = {{"notes.~setup-x", "u"}, {"b.~setup-12b", "u"}, {"t.dvb.~setup-", "u"}};
  disk.Write("c/Tessaradyne", users);
  disk.Write("c/Tessaradyne", {{"t.dvb.~setup-3", "copy"}, {"x.mns.~setup-12", "copy"}});
  disk.MakeReadOnly("c/Tessaradyne/x.mns.~setup-12");
  EXPECT_EQ(Deploy(disk), Names{});
  Files installed = users;
  installed.insert(kFresh.begin(), kFresh.end());
  EXPECT_EQ(disk.Contents("c/Tessaradyne"), installed);
  // Hidden names never reach the clean-up on POSIX: the rule on names is checked alone.
  for (const char* name : {".~setup-1", "~setup-1", "a.~setup-", "a.~setup-1x", "a~setup-1"}) {
    EXPECT_FALSE(IsTemporaryCopy(name)) << name;
  }
}

TEST(DeployTest, NothingGoesThroughAnInstallFolderThatIsALinkOrAFile) {
  for (const bool link : {true, false}) {
    Scratch disk;
    disk.Write("d/SETUP", kFresh);
    std::filesystem::create_directory(disk.Path("c/elsewhere"));
    if (link) {
      std::filesystem::create_directory_symlink(disk.Path("c/elsewhere"),
                                                disk.Path("c/Tessaradyne"));
    } else {
      disk.Write("c/Tessaradyne", "a file");
    }
    EXPECT_EQ(Deploy(disk), (Names{"TessaradyneTOOL.mns", "a.bmp", "t.dvb"}));
    EXPECT_EQ(disk.Contents("d/SETUP"), kFresh);
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
  EXPECT_EQ(Deploy(disk, "E:\\SETUP"), Names{"t.dvb"});
  EXPECT_EQ(disk.Read("e/SETUP/t.dvb"), "new");
  EXPECT_EQ(disk.Read("c/Tessaradyne/t.dvb"), "old");
}

TEST(DeployTest, FirstListedMenuReplacesItsCopyOtherMenusKeepTheirs) {
  Scratch disk;
  Files installed = {{"first.mns", "old first"}, {"other.mns", "old other"}};
  disk.Write("c/Tessaradyne", installed);
  Files source = {{"first.mns", "new first"}, {"other.mns", "new other"}};
  disk.Write("d/SETUP", source);
  Names listed;
  ASSERT_TRUE(disk.posix.ListFiles("D:\\SETUP", listed).ok());
  EXPECT_EQ(Deploy(disk), Names{});
  installed[listed.front()] = source[listed.front()];
  source.erase(listed.front());
  EXPECT_EQ(disk.Contents("c/Tessaradyne"), installed) << "first listed: " << listed.front();
  EXPECT_EQ(disk.Contents("d/SETUP"), source) << "first listed: " << listed.front();
}

TEST(DeployTest, StartedFromInsideTheInstallFolderMovesAndDeletesNothing) {
  Scratch disk;
  disk.Write("c/Tessaradyne", kFresh);
  std::filesystem::create_directory_symlink(disk.Path("c/Tessaradyne"), disk.Path("d/link"));
  for (const char* spelling : {"C:\\Tessaradyne", "C:\\.\\Tessaradyne\\", "D:\\link"}) {
    EXPECT_EQ(Deploy(disk, spelling), Names{}) << spelling;
    EXPECT_EQ(disk.Contents("c/Tessaradyne"), kFresh) << spelling;
  }
}

}  // namespace
}  // namespace setup::testing
