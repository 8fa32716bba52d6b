// The tool menu file: bytes in, bytes out, and the two ways it ends the run.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "setup/install/install_run.h"
#include "setup/install/tool_menu.h"
#include "setup/platform/posix/posix_code_page.h"
#include "tests/support/installer_harness.h"

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
}

TEST(BuildToolMenuTest, DoesNotSearchInsertedText) {
  PosixCodePage code_page;
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

// Runs the whole installer up to the menu step with this template in D:\SETUP.
class GenerateToolMenuTest : public ::testing::Test {
 protected:
  void Install() { h.InstallAnsweringYes(); }
  void ExpectAbortedWith(std::string_view reason) {
    ASSERT_EQ(h.toolkit.boxes().size(), 2u);
    EXPECT_EQ(h.toolkit.boxes()[1].text, std::string(reason) + "セットアップを中止します。");
    EXPECT_EQ(h.toolkit.exit_code(), kExitAborted);
    // The abort comes before deployment: no install folder.
    EXPECT_TRUE(h.root.ListSorted("c").empty());
  }
  InstallerHarness h;
};

TEST_F(GenerateToolMenuTest, OverwritesAnEarlierMenuFile) {
  h.root.WriteFile("d/SETUP/org_TOOL", "xxxxx\r\n");
  h.root.WriteFile("d/SETUP/TessaradyneTOOL.mns", "an older and much longer menu file\r\n");
  Install();
  EXPECT_EQ(h.root.ReadFile("c/Tessaradyne/TessaradyneTOOL.mns"), "C:/Tessaradyne/\r\n");
  EXPECT_EQ(h.toolkit.exit_code(), kExitInstalled);
}

TEST_F(GenerateToolMenuTest, TemplateThatCannotBeReadLeavesNoMenuFile) {
  h.root.WriteFile("d/SETUP/org_TOOL", "xxxxx\r\n");
  h.files.FailOn(FsOp::kRead, "org_TOOL");
  Install();
  ExpectAbortedWith(kUnreadableTemplateReason);
  EXPECT_EQ(h.root.ListSorted("d/SETUP"), (std::vector<std::string>{"org_TOOL"}));
}

// Several megabytes, so that the template is read and the menu written in several pieces, with
// one line longer than two of them.
std::string LargeTemplate() {
  std::string lines;
  for (int i = 0; i < 20'000; ++i)
    lines += "ID_" + std::to_string(i) + " [\x83\x63]^C^Cxxxxxt.dvb\r\n";
  return lines + Repeat("\x93xxxxxx\x83\x63 xxxxxt.dvb ", 120'000) + "\r" + lines;
}

// A system whose pause runs a check, so that tests see the files as they are then.
class PauseProbe final : public System {
 public:
  explicit PauseProbe(std::function<void()> at_pause) : at_pause_(std::move(at_pause)) {}
  std::uint32_t GetSystemDirectoryA(char*, std::uint32_t) override { return 0; }
  Status ApplicationPath(std::string&) override { return Status::Ok(); }
  void Sleep(std::uint32_t) override { at_pause_(); }
  const CodePage& AnsiCodePage() const override { return code_page_; }

 private:
  std::function<void()> at_pause_;
  PosixCodePage code_page_;
};

TEST(GenerateToolMenuOrderTest, ReadsTheWholeTemplateBeforeThePauseAndPlacesTheMenuAfterIt) {
  InstallerHarness h;
  const std::string bytes = LargeTemplate();
  h.root.WriteFile("d/SETUP/org_TOOL", bytes);
  bool paused = false;
  PauseProbe system([&] {
    paused = true;
    EXPECT_EQ(h.root.ReadFile("d/SETUP/TessaradyneTOOL.mns"), std::nullopt);
    h.root.WriteFile("d/SETUP/org_TOOL", "changed too late\r\n");
  });
  Program program(Platform{h.toolkit, h.toolkit, system, h.files});
  program.locations() = {.SourceDir = "D:\\SETUP", .InstallDirSlash = "C:/Tessaradyne"};
  ASSERT_TRUE(GenerateToolMenu(program));
  EXPECT_TRUE(paused);
  // Not EXPECT_EQ: a diff of megabytes would take minutes to print.
  EXPECT_TRUE(h.root.ReadFile("d/SETUP/TessaradyneTOOL.mns") ==
              BuildToolMenu(bytes, kSlash, PosixCodePage()));
  EXPECT_EQ(h.root.ListSorted("d/SETUP"),
            (std::vector<std::string>{"TessaradyneTOOL.mns", "org_TOOL"}));
}

TEST(GenerateToolMenuFailureTest, UnwritableMenuFileAbortsAndLeavesNoNewFile) {
  // Creating, writing or closing the new file fails, or putting it in place; or the folder
  // refuses every file. Writing fails before the template has been read to its end.
  const std::pair<FsOp, std::string_view> faults[] = {{FsOp::kOpenForWriting, kMenuTempName},
                                                      {FsOp::kAppend, kMenuTempName},
                                                      {FsOp::kClose, kMenuTempName},
                                                      {FsOp::kReplace, kMenuFileName},
                                                      {FsOp::kOpenForWriting, ""}};
  const std::string bytes = LargeTemplate();
  for (auto [op, path] : faults) {
    for (bool earlier_menu : {false, true}) {
      InstallerHarness h;
      h.root.WriteFile("d/SETUP/org_TOOL", bytes);
      if (earlier_menu) h.root.WriteFile("d/SETUP/TessaradyneTOOL.mns", "old\r\n");
      h.files.FailOn(op, std::string(path), StatusCode::kAccessDenied);
      h.InstallAnsweringYes();
      ASSERT_EQ(h.toolkit.boxes().size(), 2u) << path;
      EXPECT_EQ(h.toolkit.boxes()[1].text,
                "ツールメニューファイルへの書き込みができません!!  セットアップを中止します。");
      EXPECT_EQ(h.toolkit.exit_code(), kExitAborted);
      // No temporary left; an earlier menu file stays whole.
      const auto menu = h.root.ReadFile("d/SETUP/TessaradyneTOOL.mns");
      EXPECT_EQ(menu, earlier_menu ? std::optional<std::string>("old\r\n") : std::nullopt) << path;
      EXPECT_EQ(h.root.ListSorted("d/SETUP").size(), earlier_menu ? 2u : 1u) << path;
      EXPECT_TRUE(h.root.ListSorted("c").empty());
    }
  }
}

TEST_F(GenerateToolMenuTest, MissingTemplateAborts) {
  h.root.WriteFile("d/SETUP/tool.dvb", "dvb");
  Install();
  ExpectAbortedWith(kNoTemplateReason);
  EXPECT_EQ(h.root.ListSorted("d/SETUP"), (std::vector<std::string>{"tool.dvb"}));
}

}  // namespace
}  // namespace setup::testing
