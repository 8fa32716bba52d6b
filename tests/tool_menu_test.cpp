// Menu generation on a template of many pieces: the menu file is the whole template's menu, and a
// line of lead bytes without an end is settled as it comes. Which bytes the menu holds is the
// fuzzer's to prove (fuzz/tool_menu_fuzzer.cpp, whose seeds hold the cases that matter).

#include <gtest/gtest.h>

#include <string>

#include "setup/install/tool_menu.h"
#include "tests/menu_oracle.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/test_system.h"

namespace setup::testing {
namespace {

// One line of 16 MiB of lead bytes, then a placeholder, which no piece settles alone. Held back
// whole, such a line was scanned again with each piece, in time growing with its square.
TEST(ToolMenuTest, ALongLineOfLeadBytesIsSettledAsItComes) {
  const std::string piece(1 << 20, '\x81'), tail = "xxxxx\r\nID [\x83\x63]^C^Cxxxxxt.dvb\r\n";
  const TestCodePage code_page;
  ToolMenuBuilder builder("C:/Tessaradyne/", code_page);
  std::string menu, line;
  for (int n = 1; n <= 16; ++n) {
    builder.Add(piece, menu);
    line += piece;
    // All but a lead byte and a placeholder's start, at most.
    ASSERT_GE(menu.size() + kPlaceholder.size(), line.size()) << n << " MiB";
  }
  MemoryFileSystem disk;
  disk.Put("D:\\SETUP\\org_TOOL", line + tail);
  int pauses = 0;
  EXPECT_EQ(GenerateToolMenu(disk, code_page,
                             {.SourceDir = "D:\\SETUP", .InstallDirSlash = "C:/Tessaradyne"},
                             [&] { ++pauses; })
                .abort_reason,
            "");
  // Not EXPECT_EQ: a diff of megabytes would take minutes to print.
  EXPECT_TRUE(disk.Get("D:\\SETUP\\TessaradyneTOOL.mns") ==
              OracleMenu(line + tail, true, "C:/Tessaradyne/"));
  EXPECT_EQ(pauses, 1);
}

}  // namespace
}  // namespace setup::testing
