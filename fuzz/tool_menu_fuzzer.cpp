// Fuzzes the menu file's byte handling. The first input byte picks the code page and the
// replacement, the rest is the template. Whatever the bytes, taking each reported replacement
// back out must give the template with its line ends made CR LF, and the placeholders put back
// must be exactly those a left-to-right scan finds on character boundaries. The template fed
// in pieces of any sizes must give the same bytes and positions.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "setup/install/tool_menu.h"

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
    "C:/Tessaradyne/", "", "xxxxx", "xxxxxx", "\x93x", "\x81", "D:/\x83\x63\x81\x5B\x83\x8B/xxxx",
    "x\r\nxxxx\r",
};

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// The template as the menu file lays out its lines: each ended by CR LF, a lone CR, or the end
// of the bytes, then written with CR LF.
std::string WithCrLfLineEnds(std::string_view bytes) {
  std::string out;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t cr = bytes.find('\r', pos);
    if (cr == std::string_view::npos) {
      out.append(bytes.substr(pos));
      out += "\r\n";
      break;
    }
    out.append(bytes.substr(pos, cr - pos));
    out += "\r\n";
    pos = cr + 1;
    if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
  }
  return out;
}

// Walks each CR LF-ended line character by character, a lead byte taking the next byte of the
// line with it, and checks that the placeholders at `restored` are the ones met on the way.
void CheckPlaceholdersOnBoundaries(std::string_view text, const std::vector<std::size_t>& restored,
                                   const setup::CodePage& code_page) {
  constexpr std::string_view kPlaceholder = setup::kPlaceholder;
  std::size_t next = 0;
  std::size_t line_start = 0;
  while (line_start < text.size()) {
    const std::size_t line_end = text.find("\r\n", line_start);
    Check(line_end != std::string_view::npos, "menu line without CR LF");
    std::size_t i = line_start;
    while (i < line_end) {
      if (next < restored.size()) Check(restored[next] >= i, "replacement inside a character");
      if (line_end - i >= kPlaceholder.size() &&
          text.substr(i, kPlaceholder.size()) == kPlaceholder) {
        Check(next < restored.size() && restored[next] == i, "placeholder left in place");
        ++next;
        i += kPlaceholder.size();
        continue;
      }
      const bool pair =
          code_page.IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < line_end;
      i += pair ? 2 : 1;
    }
    line_start = line_end + 2;
  }
  Check(next == restored.size(), "replacement where no placeholder was");
}

// Feeds the template to a builder in pieces whose sizes come from a generator seeded with the
// input, so that a failing input replays; the output is taken away at random points, as a
// writer would.
std::string BuildInPieces(std::string_view template_bytes, std::string_view replacement,
                          const setup::CodePage& code_page, std::vector<std::size_t>& inserted_at) {
  std::uint64_t state = 0xCBF29CE484222325u;
  for (const char c : template_bytes)
    state = (state ^ static_cast<unsigned char>(c)) * 0x100000001B3u;
  const auto next = [&state] {
    return state = state * 6364136223846793005u + 1442695040888963407u;
  };
  setup::ToolMenuBuilder builder(replacement, code_page, &inserted_at);
  std::string menu, pending;
  while (!template_bytes.empty()) {
    const std::uint64_t r = next();
    // Mostly short pieces, which cut lines, CR LF and placeholders most often; empty ones too.
    const std::size_t limit = (r >> 62) == 0 ? template_bytes.size() : 8;
    const std::size_t size = std::min<std::size_t>((r >> 20) % (limit + 1), template_bytes.size());
    builder.Add(template_bytes.substr(0, size), pending);
    template_bytes.remove_prefix(size);
    if ((r >> 40) % 3 == 0) {
      menu += pending;
      pending.clear();
    }
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

  std::vector<std::size_t> inserted_at;
  const std::string menu =
      setup::BuildToolMenu(template_bytes, replacement, code_page, inserted_at);
  std::vector<std::size_t> pieces_inserted_at;
  Check(BuildInPieces(template_bytes, replacement, code_page, pieces_inserted_at) == menu,
        "pieces give other bytes than the whole template");
  Check(pieces_inserted_at == inserted_at, "pieces give other positions than the whole template");

  std::string restored;
  std::vector<std::size_t> restored_at;
  std::size_t taken = 0;
  for (const std::size_t at : inserted_at) {
    Check(at >= taken && at <= menu.size() && menu.size() - at >= replacement.size(),
          "position out of order or out of range");
    Check(std::string_view(menu).substr(at, replacement.size()) == replacement,
          "no replacement at the position");
    restored.append(menu, taken, at - taken);
    restored_at.push_back(restored.size());
    restored += setup::kPlaceholder;
    taken = at + replacement.size();
  }
  restored.append(menu, taken);
  Check(restored == WithCrLfLineEnds(template_bytes), "undoing the replacements changes bytes");
  CheckPlaceholdersOnBoundaries(restored, restored_at, code_page);
  return 0;
}
