// Times setup.exe's own file work on the Win32 file system it ships with, each figure against
// bare Win32 calls doing the same work in the same process and run: menu generation against a
// durable copy of the template, first deployment against a loop of moves, deployment per file at
// two sizes, the whole install run against its own pauses, and generation's peak memory against
// the template's size. Drive D: holds the scratch distribution; C: is the system's drive, on the
// same disk, so that deployment moves by renaming.
//
//   win32_bench SAMPLE_DIST DISTRIBUTIONS DEPLOY_PLOT_DATA
//   win32_bench peak RESULT_FILE   (the child that measures generation's memory)
//
// DISTRIBUTIONS holds fresh distributions for deployment, made by bench.sh: TOOLS-N, N from 1 to
// 11, for TOOLS of 500, 1000, 2000, 5000 and 10000 tool files.

#include <windows.h>

#include <cstdio>
#include <string_view>

#include "bench/win32_bench.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_file_system.h"

using namespace setup;
using namespace setup::bench;

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring_view(argv[1]) == L"peak") return PeakChild(win32::Utf8(argv[2]));
  if (argc != 4) {
    std::fprintf(stderr, "usage: win32_bench SAMPLE_DIST DISTRIBUTIONS DEPLOY_PLOT_DATA\n");
    return 64;
  }
  win32::Win32FileSystem files;
  std::printf("(median of %d runs each; times in ms; code page %u)\n", kRepeats, GetACP());
  MakeFolder("C:\\put-away");
  MakeFolder("D:\\put-away");
  const MenuPhase menu = MenuAndMemory(files);
  std::fflush(stdout);
  const DeployPhase deploy = Deployment(files, win32::Utf8(argv[2]), win32::Utf8(argv[3]));
  std::fflush(stdout);
  const double run_overhead_ms = InstallRun(files, win32::Utf8(argv[1]));
  PutAway();
  std::printf(
      "figures: menu_vs_durable_copy=%.2f deploy_vs_bare_moves=%.2f per_file_10k_vs_1k=%.2f "
      "run_overhead_ms=%.1f peak_rss_vs_template=%.2f\n",
      menu.menu_vs_copy, deploy.deploy_vs_moves, deploy.per_file_ratio, run_overhead_ms,
      menu.peak_vs_template);
  return 0;
}
