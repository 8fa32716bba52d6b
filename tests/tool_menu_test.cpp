// The tool menu file: bytes in, bytes out, in pieces and in time, and how it is put in place.

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

struct MenuCase {
  const char* name;
  std::string template_bytes;
  std::string expected;
};

TEST(BuildToolMenuTest, CopiesEveryByteAndReplacesPlaceholders) {
  std::string many_lines, many_expected;
  for (int i = 1; i <= 150; ++i) {
    many_lines += "line " + std::to_string(i) + " xxxxx\r\n";
    many_expected += "line " + std::to_string(i) + " C:/Tessaradyne/\r\n";
  }
  const std::string long_line = Repeat("ab", 512 * 1024) + "xxxxx" + Repeat("c", 7);
  const std::string long_expected = Repeat("ab", 512 * 1024) + "C:/Tessaradyne/" + Repeat("c", 7);
  const MenuCase cases[] = {
      {"empty template", "", ""},
      {"one line, no end", "xxxxxtool.dvb", "C:/Tessaradyne/tool.dvb\r\n"},
      {"only a placeholder", "xxxxx\r\n", "C:/Tessaradyne/\r\n"},
      {"placeholder at line end", "ID_X [--]^C^Cxxxxx\r\n", "ID_X [--]^C^CC:/Tessaradyne/\r\n"},
      {"lone CR ends a line", "a\rb\r", "a\r\nb\r\n"},
      {"CR LF after CR", "a\r\r\nb", "a\r\n\r\nb\r\n"},
      {"LF alone is text", "a\nxxxxx\r\n", "a\nC:/Tessaradyne/\r\n"},
      {"empty and short lines", "\r\n\r\nxxxx\r\nab\r\n", "\r\n\r\nxxxx\r\nab\r\n"},
      {"three placeholders", "[xxxxxa.bmp,xxxxxb.bmp]^C^C(load \"xxxxxt.dvb\")\r\n",
       "[C:/Tessaradyne/a.bmp,C:/Tessaradyne/b.bmp]^C^C(load \"C:/Tessaradyne/t.dvb\")\r\n"},
      {"near misses", "XXXXX xxxx Xxxxx xxxXx\r\n", "XXXXX xxxx Xxxxx xxxXx\r\n"},
      {"six and ten x", "xxxxxx|xxxxxxxxxx", "C:/Tessaradyne/x|C:/Tessaradyne/C:/Tessaradyne/\r\n"},
      // ツール (83 63 81 5B 83 8B) around a placeholder.
      {"Shift-JIS text", "\x83\x63\x81\x5B\x83\x8Bxxxxx\x83\x63\r\n",
       "\x83\x63\x81\x5B\x83\x8B"
       "C:/Tessaradyne/\x83\x63\r\n"},
      // 度 is 93 78: its trail byte is an "x", so 度 + "xxxx" is no placeholder...
      {"trail byte x", "\x93xxxxx\r\n", "\x93xxxxx\r\n"},
      // ...but 度 + "xxxxx" is.
      {"trail byte x then placeholder", "\x93xxxxxx", "\x93xC:/Tessaradyne/\r\n"},
      {"invalid bytes kept", "\xFF\x80xxxxx\xA0\xFD\r\n\x93",
       "\xFF\x80"
       "C:/Tessaradyne/\xA0\xFD\r\n\x93\r\n"},
      {"150 lines", many_lines, many_expected},
      {"1 MB line", long_line, long_expected + "\r\n"},
  };
  PosixCodePage code_page;
  for (const MenuCase& c : cases) {
    EXPECT_EQ(BuildToolMenu(c.template_bytes, kSlash, code_page), c.expected) << c.name;
  }
  // Inserted text is not searched again.
  EXPECT_EQ(BuildToolMenu("xxxxx", "xxxxxx", code_page), "xxxxxx\r\n");
  EXPECT_EQ(BuildToolMenu("axxxxxb", "", code_page), "ab\r\n");
}

// Feeds `pieces` to a builder, emptying the output between calls as a writer would.
std::string BuildInPieces(const std::vector<std::string_view>& pieces,
                          std::vector<std::size_t>& inserted_at) {
  PosixCodePage code_page;
  ToolMenuBuilder builder(kSlash, code_page, &inserted_at);
  std::string menu, pending;
  for (std::string_view piece : pieces) {
    builder.Add(piece, pending);
    menu += pending;
    pending.clear();
  }
  builder.Finish(pending);
  return menu + pending;
}

TEST(ToolMenuBuilderTest, PiecesCutAnywhereGiveTheWholeTemplatesMenu) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"CR | LF", "a\r\nb\r\r\nc\r\r\n\n"},
      {"placeholder", "[xxxxx]xxxxxxxxxxxxxxxxxxxx"},
      // 度 (93 78) ends in an "x"; ツ (83 63) is a whole character before a placeholder.
      {"lead | trail", "\x83\x63xxxxx\x93xxxxxx\x93xxxxx\x93x"},
      {"runs of lead bytes", "\x81\x81\x81xxxxx\r\x81\x81xxxxxx\xFC"},
      {"a line over many pieces", Repeat("ab\x93xxxxxx\x81", 12) + "\r\n" + Repeat("x", 23)},
  };
  PosixCodePage code_page;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string_view bytes = c.bytes;
    std::vector<std::size_t> whole_at, at;
    const std::string whole = BuildToolMenu(bytes, kSlash, code_page, whole_at);
    // Three pieces cut at every pair of positions, empty pieces included.
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
      for (std::size_t j = i; j <= bytes.size(); ++j) {
        const std::string menu =
            BuildInPieces({bytes.substr(0, i), bytes.substr(i, j - i), bytes.substr(j)}, at);
        ASSERT_EQ(menu, whole) << "cut at " << i << " and " << j;
        ASSERT_EQ(at, whole_at) << "cut at " << i << " and " << j;
        at.clear();
      }
    }
    std::vector<std::string_view> bytewise;
    for (std::size_t i = 0; i < bytes.size(); ++i) bytewise.push_back(bytes.substr(i, 1));
    EXPECT_EQ(BuildInPieces(bytewise, at), whole);
    EXPECT_EQ(at, whole_at);
  }
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
  // An older menu file, read-only, and a temporary one a killed run left, read-only too.
  Scratch disk;
  const std::string bytes = LargeTemplate();
  disk.Write("d/SETUP", {{"org_TOOL", bytes},
                         {"TessaradyneTOOL.mns", "an older and longer menu"},
                         {"TessaradyneTOOL.tmp", "left by a killed run"}});
  disk.MakeReadOnly("d/SETUP/TessaradyneTOOL.mns");
  disk.MakeReadOnly("d/SETUP/TessaradyneTOOL.tmp");
  bool paused = false;
  PauseProbe system([&] {
    paused = true;
    EXPECT_EQ(disk.Read("d/SETUP/TessaradyneTOOL.mns"), "an older and longer menu");
    disk.Write("d/SETUP/org_TOOL", "changed too late\r\n");
  });
  const InstallLocations locations{.SourceDir = "D:\\SETUP", .InstallDirSlash = "C:/Tessaradyne"};
  EXPECT_EQ(GenerateToolMenu(disk.files, system, locations).abort_reason, "");
  EXPECT_TRUE(paused);
  // Not EXPECT_EQ: a diff of megabytes would take minutes to print.
  EXPECT_TRUE(disk.Read("d/SETUP/TessaradyneTOOL.mns") ==
              BuildToolMenu(bytes, kSlash, PosixCodePage()));
  EXPECT_EQ(disk.Contents("d/SETUP").size(), 2u);
}

}  // namespace
}  // namespace setup::testing
