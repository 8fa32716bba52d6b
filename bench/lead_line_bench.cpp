// Times ToolMenuBuilder in memory on a template that is one long line of Shift-JIS lead bytes,
// against menu lines of the same size and against the same line at a quarter of the size. No
// file system: what is timed is the builder's own work on such a line, which once grew with the
// square of the line.
//
//   lead_line_bench

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_util.h"
#include "tests/support/test_system.h"

namespace {

using namespace setup;
using namespace setup::bench;

constexpr int kRepeats = 5;
constexpr std::size_t kLong = 16u << 20, kShort = 4u << 20;

// One line of lead bytes and nothing else, each of them taking the next as its trail byte.
std::string LeadByteLine(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned n = static_cast<unsigned>(i % 60);  // 31 from 0x81 to 0x9F, 29 from 0xE0
    bytes[i] = static_cast<char>(n < 31 ? 0x81 + n : 0xE0 + n - 31);
  }
  return bytes;
}

}  // namespace

int main() {
  const testing::TestCodePage code_page;  // 932
  const std::vector<std::string> templates = {MenuTemplate(kLong), LeadByteLine(kLong),
                                              LeadByteLine(kShort)};
  // Each round times every template in turn, so that a change in the machine's load between
  // rounds reaches all of them alike.
  std::vector<std::vector<double>> samples(templates.size());
  for (int round = 0; round <= kRepeats; ++round) {  // the first round only warms up
    for (std::size_t t = 0; t < templates.size(); ++t) {
      const Clock::time_point start = Clock::now();
      const std::size_t menu_size = BuildInPieces(templates[t], "C:/Tessaradyne/", code_page);
      const double ms = MsSince(start);
      // A line without placeholders comes out as itself with a line end.
      if (menu_size < templates[t].size() || (t > 0 && menu_size != templates[t].size() + 2)) {
        std::fprintf(stderr, "lead_line_bench: the menu is not the template's\n");
        return 1;
      }
      if (round > 0) samples[t].push_back(ms);
    }
  }
  const double plain = Median(samples[0]), line = Median(samples[1]),
               short_line = Median(samples[2]);
  std::printf(
      "(median of %d rounds; times in ms; ToolMenuBuilder in memory, a megabyte at a time)\n",
      kRepeats);
  std::printf(
      "one line of lead bytes, 16 MiB without a line end: %.1f vs %.1f for menu lines of the same "
      "size -> %.2fx\n",
      line, plain, line / plain);
  std::printf("  the line at 4 MiB: %.1f -> 16 MiB / 4 MiB = %.2f (linear: 4)\n", short_line,
              line / short_line);
  std::printf("figures: lead_line_vs_plain=%.2f lead_line_16_vs_4=%.2f\n", line / plain,
              line / short_line);
  return 0;
}
