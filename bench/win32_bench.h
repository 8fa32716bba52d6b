#pragma once
// What the parts of win32_bench share: the scratch locations and the untimed work on them, the
// system the program runs on here, and the phases main runs.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_util.h"
#include "setup/env/locations.h"
#include "setup/platform/file_system.h"
#include "setup/platform/win32/win32_system.h"

namespace setup::bench {

inline constexpr int kRepeats = 5;

inline const InstallLocations kLocations{.SourceDir = "D:\\SETUP",
                                         .WindowsDir = "C:\\windows\\",
                                         .InstallDir = "C:\\Tessaradyne",
                                         .InstallDirSlash = "C:/Tessaradyne"};

inline std::string InSource(std::string_view name) {
  return InFolder(kLocations.SourceDir, name);
}
inline std::string Installed(std::string_view name) {
  return InFolder(kLocations.InstallDir, name);
}

[[noreturn]] void Die(const std::string& what);

// The system the program runs on, but for the program's folder, which is the scratch
// distribution's, and its pauses, which take no time or are timed.
class BenchSystem final : public System {
 public:
  explicit BenchSystem(bool real_pauses) : real_pauses_(real_pauses) {}
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override {
    return inner_.GetSystemDirectoryA(buffer, size);
  }
  Status ApplicationPath(std::string& folder) override {
    return folder = kLocations.SourceDir, Status();
  }
  void Sleep(std::uint32_t milliseconds) override {
    nominal_ms += milliseconds;
    if (!real_pauses_) return;
    const Clock::time_point start = Clock::now();
    inner_.Sleep(milliseconds);
    paused_ms += MsSince(start);
  }
  // Lock waits, which no benchmark meets, are never timed.
  void Wait(std::uint32_t milliseconds) override { inner_.Wait(milliseconds); }
  const CodePage& AnsiCodePage() const override { return inner_.AnsiCodePage(); }

  double paused_ms = 0;
  std::uint32_t nominal_ms = 0;

 private:
  win32::Win32System inner_;
  bool real_pauses_;
};

void WriteNewFile(const std::string& path, std::string_view bytes);
std::string ReadWholeFile(const std::string& path);
std::uint64_t FileSize(const std::string& path);
std::vector<std::wstring> Names(const std::string& folder);
void MakeFolder(const std::string& folder);
void Move(const std::string& from, const std::string& to);
void PutAway();
void FreshFolders();

// Each phase prints what it measured and returns its figures for the summary.

struct MenuPhase {
  double menu_vs_copy, peak_vs_template;
};
MenuPhase MenuAndMemory(FileSystem& files);
int PeakChild(const std::string& result);

struct DeployPhase {
  double deploy_vs_moves, per_file_ratio;
};
DeployPhase Deployment(FileSystem& files, const std::string& distributions,
                       const std::string& plot_data);

double InstallRun(FileSystem& files, const std::string& sample);

}  // namespace setup::bench
