#pragma once
// What the benchmarks share: timing, medians, the menu template a tool ships, and building its
// menu in memory.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "setup/install/tool_menu.h"

namespace setup::bench {

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
  std::ranges::sort(values);
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// `size` bytes of menu lines as a tool ships them: Shift-JIS captions, a fifth of the lines
// loading files from the install folder through the placeholder.
inline std::string MenuTemplate(std::size_t size) {
  const std::string kCaptions[] = {"\x90\x7d\x96\xca\x8d\xec\x90\xac",   // 図面作成
                                   "\x83\x63\x81\x5B\x83\x8B",           // ツール
                                   "\x90\xa1\x96\x40\x95\x5c\x8e\xa6"};  // 寸法表示
  std::string bytes;
  bytes.reserve(size + 256);
  for (int i = 0; bytes.size() < size; ++i) {
    const std::string n = std::to_string(i);
    const std::string& caption = kCaptions[static_cast<std::size_t>(i) % 3];
    if (i % 5 == 0) {
      bytes += "ID_TdCmd" + n + "  [" + caption + n + "...]^C^C-vbarun \"xxxxxTessaradyne.dvb!Cmd" +
               n + ".Start\"\r\n";
    } else if (i % 5 == 1) {
      bytes += "**TD_POP" + n + "\r\n";
    } else {
      bytes += "ID_TdItem" + n + "  [" + caption + " " + n + "]^C^C_TD" + n + "\r\n";
    }
  }
  bytes.resize(size);
  return bytes;
}

// The menu's size, built in memory as generation feeds the builder: a megabyte at a time, into
// one output buffer emptied after each piece.
inline std::size_t BuildInPieces(std::string_view template_bytes, std::string_view replacement,
                                 const CodePage& code_page) {
  constexpr std::size_t kPiece = 1u << 20;
  ToolMenuBuilder builder(replacement, code_page);
  std::string menu;
  std::size_t size = 0;
  for (std::size_t at = 0; at < template_bytes.size(); at += kPiece) {
    builder.Add(template_bytes.substr(at, kPiece), menu);
    size += menu.size();
    menu.clear();
  }
  builder.Finish(menu);
  return size + menu.size();
}

}  // namespace setup::bench
