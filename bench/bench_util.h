#pragma once
// What the benchmarks share: timing, medians, and the menu template a tool ships.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

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

}  // namespace setup::bench
