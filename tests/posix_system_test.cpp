#include "setup/platform/posix/posix_system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace setup {
namespace {

TEST(PosixSystemTest, GetSystemDirectoryAnswersLikeWindows) {
  const std::string folder = "C:\\windows\\system32";  // 19 bytes
  const struct {
    std::uint32_t size;
    std::uint32_t returned;
    bool copied;
  } cases[] = {
      {0, 20, false},
      {19, 20, false},  // no room for the NUL
      {20, 19, true},
      {260, 19, true},
  };
  PosixSystem system("E:\\", folder);
  for (const auto& c : cases) {
    char buffer[300];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(system.GetSystemDirectoryA(buffer, c.size), c.returned) << c.size;
    if (c.copied) {
      EXPECT_EQ(std::string(buffer), folder);
    } else {
      EXPECT_EQ(buffer[0], '#') << "written with size " << c.size;
    }
  }
  EXPECT_EQ(system.GetSystemDirectoryA(nullptr, 260), 20u);

  PosixSystem broken("E:\\", "");
  char buffer[260];
  EXPECT_EQ(broken.GetSystemDirectoryA(buffer, sizeof buffer), 0u);
  EXPECT_EQ(broken.GetSystemDirectoryA(nullptr, 0), 0u);
}

TEST(PosixSystemTest, SystemDirectoryKeepsDoubleByteCharacters) {
  const std::string folder = "C:\\\x83\x5C\x83\x74\x83\x67";  // C:\ソフト; ソ ends in 0x5C
  PosixSystem system("E:\\", folder);
  char buffer[32];
  ASSERT_EQ(system.GetSystemDirectoryA(buffer, sizeof buffer), folder.size());
  EXPECT_EQ(std::string(buffer), folder);
  EXPECT_EQ(system.AnsiCodePage().ToUtf8(buffer), "C:\\\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88");
}

TEST(PosixSystemTest, ApplicationPathHasNoTrailingBackslashButAtARoot) {
  const struct {
    const char* given;
    const char* folder;
  } cases[] = {
      {"E:\\", "E:\\"},
      {"E:\\org_TOOL", "E:\\org_TOOL"},
      {"E:\\org_TOOL\\", "E:\\org_TOOL"},
  };
  for (const auto& c : cases) {
    PosixSystem system(c.given, "C:\\windows\\system32");
    std::string folder;
    ASSERT_TRUE(system.ApplicationPath(folder).ok());
    EXPECT_EQ(folder, c.folder);
  }
}

}  // namespace
}  // namespace setup
