// Deployment against a loop of moves.

#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench/counting_file_system.h"
#include "bench/win32_bench.h"
#include "setup/install/deploy.h"
#include "setup/install/patient_file_system.h"
#include "setup/platform/win32/wide.h"

namespace setup::bench {

using win32::Wide;

namespace {

// DeployProgramFiles as the install run calls it, through the patience it adds over the
// platform's file system. What it reports is checked on the disk itself.
void Deploy(FileSystem& files) {
  BenchSystem system(false);
  PatientFileSystem patient(files, system);
  (void)DeployProgramFiles(patient, kLocations, [](const FilePlacing&) {});
}

// The next fresh distribution of `tools` tool files, made by bench.sh, becomes the source
// folder. Returns the tool files' names.
std::vector<std::wstring> TakeDistribution(const std::string& distributions, int tools) {
  static std::map<int, int> taken;
  PutAway();
  Move(distributions + "\\" + std::to_string(tools) + "-" + std::to_string(++taken[tools]),
       kLocations.SourceDir);
  std::vector<std::wstring> names = Names(kLocations.SourceDir);
  std::erase_if(names, [](const std::wstring& name) { return !name.starts_with(L"TdTool"); });
  if (names.size() != static_cast<std::size_t>(tools)) Die("not a distribution of that size");
  return names;
}

void CheckInstalled(std::size_t tools) {
  if (Names(kLocations.InstallDir).size() != tools ||
      Names(kLocations.SourceDir).size() != tools / 5) {
    Die("not every tool file was moved, or more");
  }
}

struct DeployFigures {
  double deploy_ms, moves_ms;
};

DeployFigures MeasureDeploy(FileSystem& files, const std::string& distributions, int tools) {
  std::vector<double> deploy, moves;
  for (int i = 0; i < kRepeats; ++i) {
    TakeDistribution(distributions, tools);
    Clock::time_point start = Clock::now();
    Deploy(files);
    deploy.push_back(MsSince(start));
    CheckInstalled(static_cast<std::size_t>(tools));

    std::vector<std::pair<std::wstring, std::wstring>> paths;
    for (const std::wstring& name : TakeDistribution(distributions, tools)) {
      paths.emplace_back(Wide(kLocations.SourceDir) + L"\\" + name,
                         Wide(kLocations.InstallDir) + L"\\" + name);
    }
    MakeFolder(kLocations.InstallDir);
    start = Clock::now();
    // The flag the program moves with; a first install replaces nothing.
    for (const auto& [from, to] : paths) {
      if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) Die("cannot move");
    }
    moves.push_back(MsSince(start));
    CheckInstalled(static_cast<std::size_t>(tools));
  }
  return {Median(deploy), Median(moves)};
}

}  // namespace

DeployPhase Deployment(FileSystem& files, const std::string& distributions,
                       const std::string& plot_data) {
  std::map<int, DeployFigures> deploys;
  for (int tools : {500, 1000, 2000, 5000, 10000}) {
    deploys[tools] = MeasureDeploy(files, distributions, tools);
  }
  const DeployFigures &large = deploys.at(10000), &small = deploys.at(1000);
  const double deploy_vs_moves = large.deploy_ms / large.moves_ms;
  std::printf(
      "deployment, DeployProgramFiles of 10000 tool files among 2000 others: %.1f vs a "
      "MoveFileExW loop %.1f -> %.2fx (goal <= 1.5x)\n",
      large.deploy_ms, large.moves_ms, deploy_vs_moves);
  const double per_file_large = large.deploy_ms * 1000 / 10000;  // us per tool file
  const double per_file_small = small.deploy_ms * 1000 / 1000;
  std::printf(
      "deployment per file: %.1f us at 10000 files vs %.1f us at 1000 -> %.2fx (goal <= 1.2x); "
      "the moves alone %.1f us vs %.1f us -> %.2fx\n",
      per_file_large, per_file_small, per_file_large / per_file_small,
      large.moves_ms * 1000 / 10000, small.moves_ms, large.moves_ms / 10 / small.moves_ms);
  for (int tools : {1000, 10000}) {
    TakeDistribution(distributions, tools);
    CountingFileSystem counted(files);
    const Clock::time_point start = Clock::now();
    Deploy(counted);
    std::printf("  one more deployment of %d, %.1f, its file-system calls:\n", tools,
                MsSince(start));
    PrintTallies(counted);
    CheckInstalled(static_cast<std::size_t>(tools));
  }
  std::FILE* plot = std::fopen(plot_data.c_str(), "w");
  if (plot == nullptr) Die("cannot write " + plot_data);
  std::fprintf(plot, "# tool files, DeployProgramFiles ms, MoveFileExW loop ms\n");
  for (const auto& [tools, figures] : deploys) {
    std::fprintf(plot, "%d %.2f %.2f\n", tools, figures.deploy_ms, figures.moves_ms);
  }
  std::fclose(plot);
  return {deploy_vs_moves, per_file_large / per_file_small};
}

}  // namespace setup::bench
