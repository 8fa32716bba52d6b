// Fuzzes the menu file's byte handling. The first input byte picks the code page and the
// replacement, the rest is the template. Whatever the bytes, taking each reported replacement
// back out must give the menu the tests' own walk over the characters gives (tests/menu_oracle.h)
// with the placeholders where that walk meets them, and the template fed in pieces of any sizes
// must give the same bytes and positions.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "setup/install/tool_menu.h"
#include "tests/menu_oracle.h"

namespace {

// Only lead bytes matter to the menu's byte handling; no text is converted.
struct FuzzCodePage final : setup::CodePage {
  explicit FuzzCodePage(bool double_byte) : double_byte(double_byte) {}
  bool IsLeadByte(unsigned char b) const override {
    return double_byte && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
  }
  std::string ToUtf8(std::string_view ansi) const override { return std::string(ansi); }
  setup::Status FromUtf8(std::string_view, std::string&) const override { return {}; }
  bool double_byte;
};

// Some look like placeholders, lead bytes or line ends, so that undoing a replacement by
// searching for it would go wrong.
constexpr std::string_view kReplacements[] = {
    "C:/Tessaradyne/", "", "xxxxxx", "\x93x", "D:/\x83\x63\x81\x5B/xxxx", "x\r\nxxxx\r"};

// Written out here rather than taken from the program, so that a wrong one there is found.
constexpr std::string_view kPlaceholder = "xxxxx";

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// Pieces of sizes drawn from a generator seeded with the input, so that a failing input
// replays; the output is taken away now and then, as a writer would.
std::string BuildInPieces(std::string_view rest, std::string_view replacement,
                          const setup::CodePage& code_page, std::vector<std::size_t>& inserted_at) {
  std::uint64_t state = rest.size();
  for (const char c : rest) state = (state ^ static_cast<unsigned char>(c)) * 0x100000001B3u;
  setup::ToolMenuBuilder builder(replacement, code_page, &inserted_at);
  std::string menu, pending;
  while (!rest.empty()) {
    const std::uint64_t r = state = state * 6364136223846793005u + 1442695040888963407u;
    // Mostly short pieces, which cut lines, CR LF and placeholders most often; empty ones too.
    const std::size_t limit = (r >> 62) == 0 ? rest.size() : 8;
    const std::size_t size = std::min<std::size_t>((r >> 20) % (limit + 1), rest.size());
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
  const FuzzCodePage code_page(data[0] & 1);
  const std::string_view replacement = kReplacements[(data[0] >> 1) % std::size(kReplacements)];
  const std::string_view template_bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  std::vector<std::size_t> inserted_at, pieces_at, placeholders;
  const std::string menu =
      setup::BuildToolMenu(template_bytes, replacement, code_page, inserted_at);
  Check(BuildInPieces(template_bytes, replacement, code_page, pieces_at) == menu,
        "pieces give other bytes than the whole template");
  Check(pieces_at == inserted_at, "pieces give other positions than the whole template");

  std::string restored;
  std::vector<std::size_t> restored_at;
  std::size_t taken = 0;
  for (const std::size_t at : inserted_at) {
    Check(at >= taken && at <= menu.size() &&
              std::string_view(menu).substr(at).starts_with(replacement),
          "no replacement at the position");
    restored.append(menu, taken, at - taken);
    restored_at.push_back(restored.size());
    restored += kPlaceholder;
    taken = at + replacement.size();
  }
  restored.append(menu, taken);
  Check(restored == OracleMenu(template_bytes, code_page.double_byte, kPlaceholder, &placeholders),
        "undoing the replacements changes bytes");
  Check(restored_at == placeholders, "replaced where no placeholder starts a character");
  return 0;
}
