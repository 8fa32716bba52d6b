// Menu generation against a durable copy of the template, and its peak memory.

#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/counting_file_system.h"
#include "bench/win32_bench.h"
#include "setup/install/patient_file_system.h"
#include "setup/install/tool_menu.h"
#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_file_system.h"

namespace setup::bench {

using win32::UniqueHandle;
using win32::Wide;

namespace {

constexpr std::size_t kTemplateSize = 64u << 20;
// The size generation reads and writes at a time.
constexpr DWORD kChunk = 1u << 20;

// GenerateToolMenu as the install run calls it, through the patience it adds over the platform's
// file system; its pause takes no time.
void Generate(FileSystem& files) {
  BenchSystem system(false);
  PatientFileSystem patient(files, system);
  if (!GenerateToolMenu(patient, system.AnsiCodePage(), kLocations, [] {}).abort_reason.empty()) {
    Die("menu generation failed");
  }
}

// The template's bytes read and written a megabyte at a time into a new file, which is then
// flushed to the disk: what generation does with them, less the building.
void DurableCopy(const std::string& from, const std::string& to) {
  UniqueHandle in(CreateFileW(Wide(from).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  UniqueHandle out(CreateFileW(Wide(to).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!in.valid() || !out.valid()) Die("cannot open the copy's files");
  const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
  for (;;) {
    DWORD got = 0, put = 0;
    if (!ReadFile(in.get(), buffer.get(), kChunk, &got, nullptr)) Die("cannot read " + from);
    if (got == 0) break;
    if (!WriteFile(out.get(), buffer.get(), got, &put, nullptr) || put != got) {
      Die("cannot write " + to);
    }
  }
  if (!FlushFileBuffers(out.get()) || !out.Close()) Die("cannot flush " + to);
}

struct MenuFigures {
  double generate_ms, copy_ms, build_ms;
};

MenuFigures MeasureMenu(FileSystem& files, const std::string& template_bytes) {
  const std::string menu_file = InSource(kMenuFileName), copy = InSource("copy");
  const win32::Win32System system;
  std::vector<double> generate, durable_copy, build;
  for (int i = 0; i <= kRepeats; ++i) {  // the first round only warms up
    DeleteFileW(Wide(copy).c_str());
    DeleteFileW(Wide(menu_file).c_str());
    Clock::time_point start = Clock::now();
    DurableCopy(InSource(kTemplateName), copy);
    const double copy_ms = MsSince(start);
    start = Clock::now();
    Generate(files);
    const double generate_ms = MsSince(start);
    start = Clock::now();
    const std::size_t menu_size =
        BuildInPieces(template_bytes, kLocations.InstallDirSlash + "/", system.AnsiCodePage());
    const double build_ms = MsSince(start);
    if (FileSize(copy) != template_bytes.size() || FileSize(menu_file) != menu_size) {
      Die("the copy is not the template or the menu file not the menu");
    }
    if (i == 0) continue;
    durable_copy.push_back(copy_ms);
    generate.push_back(generate_ms);
    build.push_back(build_ms);
  }
  DeleteFileW(Wide(copy).c_str());
  return {Median(generate), Median(durable_copy), Median(build)};
}

// --- Peak memory of generation, in a child process of its own.

struct PeakFigures {
  double before_mib, above_mib;
};

PeakFigures MeasurePeak() {
  wchar_t self[MAX_PATH];
  if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) Die("no module name");
  const std::string result = "D:\\peak.txt";
  std::wstring command = L"\"" + std::wstring(self) + L"\" peak " + Wide(result);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    Die("cannot start the child");
  }
  UniqueHandle process(info.hProcess), thread(info.hThread);
  DWORD code = 1;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.get(), &code) || code != 0) {
    Die("the child failed");
  }
  double before = 0, peak = 0, pagefile_before = 0, pagefile_peak = 0;
  std::ifstream(result) >> before >> peak >> pagefile_before >> pagefile_peak;
  DeleteFileW(Wide(result).c_str());
  if (peak == 0) Die("the child gave no figures");
  std::printf("  (pagefile usage before %.1f MiB, its \"peak\" after %.1f MiB)\n",
              pagefile_before / (1 << 20), pagefile_peak / (1 << 20));
  return {before / (1 << 20), (peak - before) / (1 << 20)};
}

}  // namespace

// The child: generation in the source folder, and its memory before and after, written to
// `result`. PeakWorkingSetSize rather than PeakPagefileUsage: under Wine only the working set
// keeps a peak (the kernel's high-water mark of resident memory), while the "peak" pagefile
// figure is the current one, as the parent's output shows.
int PeakChild(const std::string& result) {
  PROCESS_MEMORY_COUNTERS before{}, after{};
  before.cb = after.cb = sizeof before;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before)) Die("no memory info");
  win32::Win32FileSystem files;
  Generate(files);
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after)) Die("no memory info");
  std::ofstream(result) << before.WorkingSetSize << ' ' << after.PeakWorkingSetSize << ' '
                        << before.PagefileUsage << ' ' << after.PeakPagefileUsage << '\n';
  return 0;
}

MenuPhase MenuAndMemory(FileSystem& files) {
  FreshFolders();
  const std::string template_bytes = MenuTemplate(kTemplateSize);
  WriteNewFile(InSource(kTemplateName), template_bytes);
  const MenuFigures menu = MeasureMenu(files, template_bytes);
  const double menu_vs_copy = menu.generate_ms / menu.copy_ms;
  std::printf(
      "menu generation, GenerateToolMenu on Win32FileSystem, 64 MiB template: %.1f vs a durable "
      "copy (ReadFile, WriteFile, FlushFileBuffers) %.1f -> %.2fx (goal <= 1.5x)\n",
      menu.generate_ms, menu.copy_ms, menu_vs_copy);
  std::printf("  of which building the menu in memory, a megabyte at a time, takes %.1f\n",
              menu.build_ms);
  {
    DeleteFileW(Wide(InSource(kMenuFileName)).c_str());
    CountingFileSystem counted(files);
    const Clock::time_point start = Clock::now();
    Generate(counted);
    std::printf("  one more generation, %.1f, its file-system calls:\n", MsSince(start));
    PrintTallies(counted);
  }
  const PeakFigures peak = MeasurePeak();
  const double peak_vs_template = peak.above_mib * (1 << 20) / static_cast<double>(kTemplateSize);
  std::printf(
      "peak memory of that generation in a child process (PeakWorkingSetSize): %.1f MiB above "
      "its working set of %.1f MiB before -> %.2fx the template (goal <= 2x)\n",
      peak.above_mib, peak.before_mib, peak_vs_template);
  for (std::string_view name : {kTemplateName, kMenuFileName}) {
    DeleteFileW(Wide(InSource(name)).c_str());
  }
  return {menu_vs_copy, peak_vs_template};
}

}  // namespace setup::bench
