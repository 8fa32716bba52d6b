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

struct Case {
  const char* name;
  const char* drive;  // of the source folder
  Files source, installed;
  Names read_only;  // relative to the scratch folder: "source/x" or "installed/x"
  Target target;
  Files want_installed, want_source;
  Names unplaced;
};

TEST(DeployTest, PlacesToolFilesAndReportsWhatIsNotInstalled) {
  Files tools = {{"Tool.Dvb", "T"}, {"B.BMP", "B"}, {"TessaradyneTOOL.mns", "menu"}};
  for (int i = 1; i <= 12; ++i) tools["t" + std::to_string(i) + ".dvb"] = std::to_string(i);
  const Files others = {{"org_TOOL", "xxxxx"},
                        {"tool.dvbx", "x"},
                        {"toolmns", "m"},
                        {"mns", "n"},
                        {".hidden.dvb", "h"}};
  Files all = tools;
  all.insert(others.begin(), others.end());
  Files all_with_folder = all;
  all_with_folder["sub.dvb/inner.dvb"] = "i";
  Files others_with_folder = others;
  others_with_folder["sub.dvb"] = "<folder>";
  const Files fresh = {{"t.dvb", "new t"}, {"a.bmp", "new a"}, {"TessaradyneTOOL.mns", "new m"}};
  const Files old = {{"t.dvb", "old t"}, {"a.bmp", "old a"}, {"TessaradyneTOOL.mns", "old m"}};
  const Names fresh_names = {"TessaradyneTOOL.mns", "a.bmp", "t.dvb"};
  const Names old_read_only = {"installed/t.dvb", "installed/a.bmp",
                               "installed/TessaradyneTOOL.mns"};
  const Files reinstalled = {
      {"t.dvb", "new t"}, {"a.bmp", "old a"}, {"TessaradyneTOOL.mns", "new m"}};
  const Files leftovers = {{"t.dvb.~setup-3", "copy"},
                           {"x.mns.~setup-12", "copy"},
                           {"notes.~setup-x", "user's"},
                           {"b.~setup-12b", "user's"},
                           {"t.dvb.~setup-", "user's"}};
  Files kept_leftovers = {
      {"notes.~setup-x", "user's"}, {"b.~setup-12b", "user's"}, {"t.dvb.~setup-", "user's"}};
  kept_leftovers.insert(fresh.begin(), fresh.end());

  const Case cases[] = {
      {"first install", "d", all_with_folder, {}, {}, Target::kNone, tools, others_with_folder, {}},
      {"read-only files from another drive",
       "e",
       fresh,
       {},
       {"source/t.dvb", "source/a.bmp", "source/TessaradyneTOOL.mns"},
       Target::kNone,
       fresh,
       {},
       {}},
      {"read-only files on the same drive",
       "d",
       fresh,
       {},
       {"source/t.dvb", "source/a.bmp"},
       Target::kNone,
       fresh,
       {},
       {}},
      {"reinstall over read-only copies",
       "d",
       fresh,
       old,
       old_read_only,
       Target::kFolder,
       reinstalled,
       {{"a.bmp", "new a"}},
       {}},
      {"reinstall over read-only copies from another drive",
       "e",
       fresh,
       old,
       old_read_only,
       Target::kFolder,
       reinstalled,
       {{"a.bmp", "new a"}},
       {}},
      {"copies a killed run left",
       "e",
       fresh,
       leftovers,
       {"installed/x.mns.~setup-12"},
       Target::kFolder,
       kept_leftovers,
       {},
       {}},
      {"install folder is a link", "d", fresh, {}, {}, Target::kLink, {}, fresh, fresh_names},
      {"install folder is a file", "d", fresh, {}, {}, Target::kFile, {}, fresh, fresh_names},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scratch disk;
    const std::string source = std::string(c.drive) + "/SETUP";
    disk.Write(source, c.source);
    if (c.target == Target::kFolder) disk.Write("c/Tessaradyne", c.installed);
    if (c.target == Target::kFile) disk.Write("c/Tessaradyne", "a file");
    if (c.target == Target::kLink) {
      std::filesystem::create_directory(disk.Path("c/elsewhere"));
      std::filesystem::create_directory_symlink(disk.Path("c/elsewhere"),
                                                disk.Path("c/Tessaradyne"));
    }
    for (const std::string& path : c.read_only) {
      disk.MakeReadOnly(path.starts_with("source/") ? source + path.substr(6)
                                                    : "c/Tessaradyne" + path.substr(9));
    }
    const std::string drive = c.drive[0] == 'e' ? "E:" : "D:";
    EXPECT_EQ(Deploy(disk, From(drive + "\\SETUP")), c.unplaced);
    if (c.target == Target::kFile) continue;
    EXPECT_EQ(disk.Contents("c/Tessaradyne"), c.want_installed);
    EXPECT_EQ(disk.Contents(source), c.want_source);
    EXPECT_EQ(disk.Contents("c/elsewhere"), Files{});
  }
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
