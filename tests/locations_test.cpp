// Where the installer writes: the Windows folder and the install folder derived from it
// (up to the system directory's last backslash, counted in characters, not bytes).

#include <gtest/gtest.h>

#include "setup/env/locations.h"
#include "setup/platform/posix/posix_system.h"

namespace setup::testing {
namespace {

struct Derivation {
  std::string system_directory;  // ANSI bytes (code page 932)
  std::string windows_dir, install_dir, install_dir_slash;
};

TEST(InstallLocationsTest, DerivedFromTheSystemDirectory) {
  const Derivation cases[] = {
      {"C:\\WINDOWS\\system32", "C:\\WINDOWS\\", "C:\\Tessaradyne", "C:/Tessaradyne"},
      {"D:\\WINNT\\system32", "D:\\WINNT\\", "D:\\Tessaradyne", "D:/Tessaradyne"},
      {"C:\\windows\\system32\\", "C:\\windows\\system32\\", "C:\\Tessaradyne", "C:/Tessaradyne"},
      // 表 is 0x95 0x5C: its trail byte is a backslash, which must not cut the path.
      {"C:\\\x95\x5C\x8E\xA6\\system32", "C:\\表示\\", "C:\\Tessaradyne", "C:/Tessaradyne"},
      // Characters, not bytes, make up the drive part.
      {"\x95\x5C\x8E\xA6\\system32", "表示\\", "表示\\Tessaradyne", "表示/Tessaradyne"},
      {"\xC3\\sys", "ﾃ\\", "ﾃ\\Tessaradyne", "ﾃ\\/Tessaradyne"},
  };
  for (const Derivation& c : cases) {
    PosixSystem system("D:\\SETUP", c.system_directory);
    InstallLocations locations;
    ASSERT_TRUE(GetWindowsDir(system, locations.WindowsDir).ok()) << c.windows_dir;
    DeriveInstallDirs(locations);
    EXPECT_EQ(locations.WindowsDir, c.windows_dir);
    EXPECT_EQ(locations.InstallDir, c.install_dir);
    EXPECT_EQ(locations.InstallDirSlash, c.install_dir_slash);
  }
}

TEST(InstallLocationsTest, SystemDirectoryThatCannotServeFails) {
  // Unobtainable, or without a backslash, which would make the install folder relative.
  for (const char* system_directory : {"", "system32", "C:"}) {
    PosixSystem system("D:\\SETUP", system_directory);
    std::string windows_dir;
    EXPECT_FALSE(GetWindowsDir(system, windows_dir).ok()) << system_directory;
    EXPECT_EQ(windows_dir, "");
  }
}

}  // namespace
}  // namespace setup::testing
