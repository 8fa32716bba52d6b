// The tool menu file in time, and how it is put in place. What bytes it holds, whole or built in
// pieces, is fuzz/tool_menu_fuzzer.cpp's, whose seeds hold the cases that matter.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "setup/install/tool_menu.h"
#include "setup/platform/posix/posix_code_page.h"
#include "tests/support/scratch.h"

namespace setup::testing {
namespace {

constexpr std::string_view kSlash = "C:/Tessaradyne/";

std::string Repeat(std::string_view text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// Milliseconds to build the menu of `bytes` a megabyte at a time, the best of three.
double MillisecondsInPieces(const std::string& bytes) {
  PosixCodePage code_page;
  double best = 1e300;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    ToolMenuBuilder builder(kSlash, code_page);
    std::string menu;
    for (std::size_t at = 0; at < bytes.size(); at += std::size_t{1} << 20) {
      builder.Add(std::string_view(bytes).substr(at, std::size_t{1} << 20), menu);
      menu.clear();
    }
    builder.Finish(menu);
    best = std::min(
        best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                  .count());
  }
  return best;
}

TEST(ToolMenuBuilderTest, LineOfLeadBytesTakesLinearTime) {
  // One line of lead bytes without an end, which no piece settles alone. Held back whole, it
  // was rescanned for every piece: four times the line took sixteen times as long.
  const double short_ms = MillisecondsInPieces(std::string(std::size_t{4} << 20, '\x81'));
  const double long_ms = MillisecondsInPieces(std::string(std::size_t{16} << 20, '\x81'));
  EXPECT_LT(long_ms, 8 * short_ms + 20) << long_ms << " ms against " << short_ms << " ms";
}

// Several megabytes, so that the template is read and the menu written in several pieces, with
// one line longer than two of them.
std::string LargeTemplate() {
  std::string lines;
  for (int i = 0; i < 20'000; ++i)
    lines += "ID_" + std::to_string(i) + " [\x83\x63]^C^Cxxxxxt.dvb\r\n";
  return lines + Repeat("\x93xxxxxx\x83\x63 xxxxxt.dvb ", 120'000) + "\r" + lines;
}

TEST(GenerateToolMenuTest, ReadsTheWholeTemplateBeforeThePauseAndPlacesTheMenuAfterIt) {
  Scratch disk;
  const std::string bytes = LargeTemplate();
  disk.Write("d/SETUP/org_TOOL", bytes);
  bool paused = false;
  PauseProbe system([&] {
    paused = !disk.Read("d/SETUP/TessaradyneTOOL.mns");
    disk.Write("d/SETUP/org_TOOL", "changed too late\r\n");
  });
  const InstallLocations locations{.SourceDir = "D:\\SETUP", .InstallDirSlash = "C:/Tessaradyne"};
  EXPECT_EQ(GenerateToolMenu(disk.files, system, locations).abort_reason, "");
  EXPECT_TRUE(paused);
  // Not EXPECT_EQ: a diff of megabytes would take minutes to print.
  EXPECT_TRUE(disk.Read("d/SETUP/TessaradyneTOOL.mns") ==
              BuildToolMenu(bytes, kSlash, PosixCodePage()));
}

}  // namespace
}  // namespace setup::testing
