// Fuzzes the menu file's byte handling. The first input byte picks the code page and the
// replacement, the rest is the template. Whatever the bytes, the menu built from the whole
// template, and from the template fed in pieces of any sizes, must be the menu the tests' own walk
// over the characters gives (tests/menu_oracle.h).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "setup/install/tool_menu.h"
#include "tests/menu_oracle.h"
#include "tests/support/test_system.h"

namespace {

// Some look like placeholders, lead bytes or line ends, so that a replacement searched again, or
// one that joins the bytes around it into a character, shows.
constexpr std::string_view kReplacements[] = {
    "C:/Tessaradyne/", "", "xxxxxx", "\x93x", "D:/\x83\x63\x81\x5B/xxxx", "x\r\nxxxx\r"};

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// Pieces of sizes drawn from a generator seeded with the input, so that a failing input
// replays; the output is taken away now and then, as a writer would. One piece: the whole.
std::string Build(std::string_view rest, std::string_view replacement,
                  const setup::CodePage& code_page, bool in_pieces) {
  std::uint64_t state = rest.size();
  for (const char c : rest) state = (state ^ static_cast<unsigned char>(c)) * 0x100000001B3u;
  setup::ToolMenuBuilder builder(replacement, code_page);
  std::string menu, pending;
  while (!rest.empty()) {
    const std::uint64_t r = state = state * 6364136223846793005u + 1442695040888963407u;
    // Mostly short pieces, which cut lines, CR LF and placeholders most often; empty ones too.
    const std::size_t limit = (r >> 62) == 0 ? rest.size() : 8;
    const std::size_t size =
        in_pieces ? std::min<std::size_t>((r >> 20) % (limit + 1), rest.size()) : rest.size();
    builder.Add(rest.substr(0, size), pending);
    rest.remove_prefix(size);
    if ((r >> 40) % 3 == 0) menu += std::exchange(pending, {});
  }
  builder.Finish(pending);
  return menu + pending;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool double_byte = (data[0] & 1) != 0;
  const setup::testing::TestCodePage code_page(double_byte ? 932 : 1252);
  const std::string_view replacement = kReplacements[(data[0] >> 1) % std::size(kReplacements)];
  const std::string_view template_bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string expected = OracleMenu(template_bytes, double_byte, replacement);
  Check(Build(template_bytes, replacement, code_page, false) == expected,
        "the whole template gives another menu");
  Check(Build(template_bytes, replacement, code_page, true) == expected,
        "the template in pieces gives another menu");
  return 0;
}
