// Menu generation on files, a megabyte at a time: the bytes of the whole template's menu, in time
// linear in the template for any line. Which bytes the menu holds is the fuzzer's to prove
// (fuzz/tool_menu_fuzzer.cpp, whose seeds hold the cases that matter).

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>

#include "setup/install/tool_menu.h"
#include "tests/menu_oracle.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/test_system.h"

namespace setup::testing {
namespace {

// The processor milliseconds GenerateToolMenu takes on the template, the best of three: the
// processor time of this process alone, so that other work on the machine does not count. Each
// time the menu file must be the whole template's menu.
double GenerateMs(const std::string& bytes) {
  const std::string menu = OracleMenu(bytes, true, "C:/Tessaradyne/");
  double best = 1e300;
  for (int run = 0; run < 3; ++run) {
    MemoryFileSystem disk;
    disk.Put("D:\\SETUP\\org_TOOL", bytes);
    int pauses = 0;
    const std::clock_t start = std::clock();
    EXPECT_EQ(GenerateToolMenu(disk, TestCodePage(),
                               {.SourceDir = "D:\\SETUP", .InstallDirSlash = "C:/Tessaradyne"},
                               [&] { ++pauses; })
                  .abort_reason,
              "");
    best = std::min(best, 1000.0 * double(std::clock() - start) / CLOCKS_PER_SEC);
    // Not EXPECT_EQ: a diff of megabytes would take minutes to print.
    EXPECT_TRUE(disk.Get("D:\\SETUP\\TessaradyneTOOL.mns") == menu);
    EXPECT_EQ(pauses, 1);
  }
  return best;
}

TEST(GenerateToolMenuTest, LineOfLeadBytesTakesLinearTime) {
  // One line of lead bytes without an end but a placeholder, which no piece settles alone. Held
  // back whole, it was rescanned for every piece: four times the line took over eight times as
  // long, against under four now.
  const auto line = [](std::size_t mib) {
    return std::string(mib << 20, '\x81') + "xxxxx\r\nID [\x83\x63]^C^Cxxxxxt.dvb\r\n";
  };
  const double short_ms = GenerateMs(line(4)), long_ms = GenerateMs(line(16));
  EXPECT_LT(long_ms, 6 * short_ms + 20) << long_ms << " ms against " << short_ms << " ms";
}

}  // namespace
}  // namespace setup::testing
