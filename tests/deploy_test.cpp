// Placing the tool's files where the fault sweep does not reach: copies a killed run left, an
// install folder that is no folder, the first-listed menu, and the installer started from inside
// the install folder. The first install and reinstall, read-only files and placing across drives
// are the fault sweep's.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup/install/deploy.h"
#include "setup/install/placement.h"
#include "tests/support/memory_file_system.h"

namespace setup::testing {
namespace {

using Names = std::vector<std::string>;

Names Deploy(FileSystem& disk, const std::string& source = "D:\\SETUP") {
  Names unplaced = DeployProgramFiles(disk, {.SourceDir = source, .InstallDir = "C:\\Tessaradyne"},
                                      [](auto&) {});
  std::ranges::sort(unplaced);
  return unplaced;
}

const Files kFresh = {{"t.dvb", "new t"}, {"a.bmp", "new a"}, {"TessaradyneTOOL.mns", "new m"}};

TEST(DeployTest, CopiesAKilledRunLeftGoUsersFilesStay) {
  MemoryFileSystem disk;
  disk.Put("D:\\SETUP", kFresh);
  const Files users = {{"notes.~setup-x", "u"},
                       {"b.~setup-12b", "u"},
                       {"t.dvb.~setup-", "u"},
                       {"a~setup-1", "u"},
                       {".~setup-1", "u"}};
  disk.Put("C:\\Tessaradyne", users);
  disk.Put("C:\\Tessaradyne", {{"t.dvb.~setup-3", "copy"}});
  disk.Put("C:\\Tessaradyne\\x.mns.~setup-12", "copy", {.read_only = true});
  EXPECT_EQ(Deploy(disk), Names{});
  Files installed = users;
  installed.insert(kFresh.begin(), kFresh.end());
  EXPECT_EQ(disk.Contents("C:\\Tessaradyne"), installed);
}

TEST(DeployTest, NothingGoesThroughAnInstallFolderThatIsALinkOrAFile) {
  for (const bool link : {true, false}) {
    MemoryFileSystem disk;
    disk.Put("D:\\SETUP", kFresh);
    disk.PutFolder("C:\\elsewhere");
    if (link) {
      disk.PutLink("C:\\Tessaradyne", "C:\\elsewhere");
    } else {
      disk.Put("C:\\Tessaradyne", "a file");
    }
    EXPECT_EQ(Deploy(disk), (Names{"TessaradyneTOOL.mns", "a.bmp", "t.dvb"}));
    EXPECT_EQ(disk.Contents("D:\\SETUP"), kFresh);
    EXPECT_EQ(disk.Contents("C:\\elsewhere"), Files{});
  }
}

TEST(DeployTest, FirstListedMenuReplacesItsCopyOtherMenusKeepTheirs) {
  MemoryFileSystem disk;
  Files installed = {{"first.mns", "old first"}, {"other.mns", "old other"}, {"t.dvb", "t"}};
  disk.Put("C:\\Tessaradyne", installed);
  Files source = {{"first.mns", "new first"}, {"other.mns", "new other"}};
  disk.Put("D:\\SETUP", source);
  Names listed;
  ASSERT_TRUE(disk.ListFiles("D:\\SETUP", listed).ok());
  EXPECT_EQ(Deploy(disk), Names{});
  installed[listed.front()] = source[listed.front()];
  source.erase(listed.front());
  EXPECT_EQ(disk.Contents("C:\\Tessaradyne"), installed) << "first listed: " << listed.front();
  EXPECT_EQ(disk.Contents("D:\\SETUP"), source) << "first listed: " << listed.front();
}

TEST(DeployTest, StartedFromInsideTheInstallFolderMovesAndDeletesNothing) {
  MemoryFileSystem disk;
  disk.Put("C:\\Tessaradyne", kFresh);
  disk.PutLink("D:\\link", "C:\\Tessaradyne");
  for (const char* spelling : {"C:\\Tessaradyne", "c:\\.\\TESSARADYNE\\", "D:\\link"}) {
    EXPECT_EQ(Deploy(disk, spelling), Names{}) << spelling;
    EXPECT_EQ(disk.Contents("C:\\Tessaradyne"), kFresh) << spelling;
  }
}

}  // namespace
}  // namespace setup::testing
