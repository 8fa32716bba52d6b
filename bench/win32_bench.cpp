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
// After windows.h, which it needs.
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/bench_util.h"
#include "setup/install/deploy.h"
#include "setup/install/patient_file_system.h"
#include "setup/install/tool_menu.h"
#include "setup/platform/headless_forms.h"
#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_system.h"
#include "setup/screens/program.h"
#include "setup/screens/setup1.h"
#include "setup/screens/user_form1.h"
#include "setup/screens/user_form2.h"

namespace {

using namespace setup;
using namespace setup::bench;
using win32::UniqueFindHandle;
using win32::UniqueHandle;
using win32::Wide;

constexpr int kRepeats = 5;
constexpr std::size_t kTemplateSize = 64u << 20;
// The size generation reads and writes at a time.
constexpr DWORD kChunk = 1u << 20;

const InstallLocations kLocations{.SourceDir = "D:\\SETUP",
                                  .WindowsDir = "C:\\windows\\",
                                  .InstallDir = "C:\\Tessaradyne",
                                  .InstallDirSlash = "C:/Tessaradyne"};

std::string InSource(std::string_view name) {
  return InFolder(kLocations.SourceDir, name);
}
std::string Installed(std::string_view name) {
  return InFolder(kLocations.InstallDir, name);
}

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "win32_bench: %s (error %lu)\n", what.c_str(), GetLastError());
  std::exit(1);
}

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
  const CodePage& AnsiCodePage() const override { return inner_.AnsiCodePage(); }

  double paused_ms = 0;
  std::uint32_t nominal_ms = 0;

 private:
  win32::Win32System inner_;
  bool real_pauses_;
};

// The program's file system with each call counted and timed, to tell where an operation's
// time goes.
class CountingFileSystem final : public FileSystem {
 public:
  struct Tally {
    int calls = 0;
    double ms = 0;
  };

  explicit CountingFileSystem(FileSystem& inner) : inner_(inner) {}

  std::map<std::string, Tally> tallies;

 private:
  // Before its callers, which return what it deduces.
  template <class Call>
  auto Count(const char* name, Call call) {
    const Clock::time_point start = Clock::now();
    auto result = call();
    Tally& tally = tallies[name];
    ++tally.calls;
    tally.ms += MsSince(start);
    return result;
  }

 public:
  Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    return Count("OpenForReading", [&] { return inner_.OpenForReading(path, file); });
  }
  Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) override {
    return Count("OpenForWriting", [&] { return inner_.OpenForWriting(path, file); });
  }
  Status OpenForAppending(const std::string& path, std::unique_ptr<WritableFile>& file) override {
    return Count("OpenForAppending", [&] { return inner_.OpenForAppending(path, file); });
  }
  Status MakeFolder(const std::string& path) override {
    return Count("MakeFolder", [&] { return inner_.MakeFolder(path); });
  }
  Status ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    return Count("ListFiles", [&] { return inner_.ListFiles(folder, names); });
  }
  Entry Inspect(const std::string& path) override {
    return Count("Inspect", [&] { return inner_.Inspect(path); });
  }
  Status Remove(const std::string& path) override {
    return Count("Remove", [&] { return inner_.Remove(path); });
  }
  Status Rename(const std::string& from, const std::string& to, bool replace) override {
    return Count("Rename", [&] { return inner_.Rename(from, to, replace); });
  }
  Status CopyToNewFile(const std::string& from, const std::string& to) override {
    return Count("CopyToNewFile", [&] { return inner_.CopyToNewFile(from, to); });
  }
  Status SetReadOnly(const std::string& path, bool read_only) override {
    return Count("SetReadOnly", [&] { return inner_.SetReadOnly(path, read_only); });
  }
  bool SameFolder(const std::string& a, const std::string& b) override {
    return Count("SameFolder", [&] { return inner_.SameFolder(a, b); });
  }
  // The identity a track gives later is not counted: it is asked only when a rename fails.
  Status Track(const std::string& path, std::unique_ptr<FileTrack>& track) override {
    return Count("Track", [&] { return inner_.Track(path, track); });
  }
  Status InheritPermissions(const std::string& path) override {
    return Count("InheritPermissions", [&] { return inner_.InheritPermissions(path); });
  }
  Status HoldFolder(const std::string& path, std::unique_ptr<FolderHold>& hold) override {
    return Count("HoldFolder", [&] { return inner_.HoldFolder(path, hold); });
  }

 private:
  FileSystem& inner_;
};

void PrintTallies(const CountingFileSystem& counted) {
  for (const auto& [name, tally] : counted.tallies) {
    std::printf("    %-14s %6d calls %9.1f ms  %7.1f us each\n", name.c_str(), tally.calls,
                tally.ms, tally.ms * 1000 / tally.calls);
  }
}

// Scaffolding, not timed.

void WriteNewFile(const std::string& path, std::string_view bytes) {
  UniqueHandle file(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD put = 0;
  if (!file.valid() ||
      !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) ||
      put != bytes.size() || !file.Close()) {
    Die("cannot write " + path);
  }
}

std::string ReadWholeFile(const std::string& path) {
  UniqueHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file.valid() || !GetFileSizeEx(file.get(), &size)) Die("cannot read " + path);
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
      got != bytes.size()) {
    Die("cannot read " + path);
  }
  return bytes;
}

std::uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// The names in the folder, without "." and "..".
std::vector<std::wstring> Names(const std::string& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(FindFirstFileW(Wide(folder + "\\*").c_str(), &data));
  if (!find.valid()) return names;
  do {
    const std::wstring_view name = data.cFileName;
    if (name != L"." && name != L"..") names.emplace_back(name);
  } while (FindNextFileW(find.get(), &data));
  return names;
}

void MakeFolder(const std::string& folder) {
  if (!CreateDirectoryW(Wide(folder).c_str(), nullptr)) Die("cannot make " + folder);
}

void Move(const std::string& from, const std::string& to) {
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), 0)) Die("cannot move " + from);
}

// Whatever stands in the source and install folders goes aside, on its own drive, in one rename
// each: through Wine, removing or making each of thousands of files in a folder costs a read of
// the whole folder. bench.sh removes it all at the end.
void PutAway() {
  static int put_away = 0;
  const std::string n = std::to_string(++put_away);
  for (const std::string& folder : {kLocations.SourceDir, kLocations.InstallDir}) {
    if (GetFileAttributesW(Wide(folder).c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    Move(folder, folder.substr(0, 3) + "put-away\\" + n);
  }
}

// An empty source folder and no install folder, as before a first install.
void FreshFolders() {
  PutAway();
  MakeFolder(kLocations.SourceDir);
}

// --- Menu generation against a durable copy of the template.

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

// --- Deployment against a loop of moves.

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

// --- The whole install run against its pauses.

struct RunFigures {
  double overhead_ms, paused_ms, flush_ms;
  std::uint32_t nominal_ms;
};

void CopySample(const std::string& sample) {
  FreshFolders();
  for (const std::wstring& name : Names(sample)) {
    const std::wstring from = Wide(sample) + L"\\" + name;
    if (!CopyFileW(from.c_str(), Wide(InSource(win32::Utf8(name))).c_str(), TRUE)) {
      Die("cannot copy the sample");
    }
  }
}

// Writing a new file with these bytes through the program's file system, flushed to the disk as
// the run does with the menu file.
double WriteAndFlushMs(FileSystem& files, const std::string& path, const std::string& bytes) {
  const Clock::time_point start = Clock::now();
  std::unique_ptr<WritableFile> file;
  if (!files.OpenForWriting(path, file).ok() || !file->Append(bytes).ok() || !file->Close().ok()) {
    Die("cannot write " + path);
  }
  return MsSince(start);
}

// The program's own headless forms, with the screen loaded last at hand for a person's clicks.
class ClickableForms final : public FormsToolkit, public MessageBoxes {
 public:
  Status Load(const FormSpec& layout, FormEvents& events,
              std::unique_ptr<FormWindow>& window) override {
    current = &events;
    return inner.Load(layout, events, window);
  }
  void ProcessMessages() override { inner.ProcessMessages(); }
  void Quit(int exit_code) override { inner.Quit(exit_code); }
  int Ask(std::string_view text, std::string_view title, unsigned flags) override {
    return inner.Ask(text, title, flags);
  }

  HeadlessForms inner;  // activates each screen shown, in turn, when run
  FormEvents* current = nullptr;
};

// One install of the sample through the real Program, as a person goes through it: the
// agreement, the confirmation, then the progress screen's activation, which is the install run.
// Returns its time in milliseconds, pauses included.
double Install(FileSystem& files, BenchSystem& system, const std::string& sample) {
  CopySample(sample);
  ClickableForms forms;
  const Clock::time_point start = Clock::now();
  {
    Program program(Platform{forms, forms, system, files});
    Main(program);
    forms.inner.Run();
    forms.current->Click(UserForm1::Command3);
    forms.current->Click(UserForm1::Command1);
    forms.inner.Run();
    forms.current->Click(UserForm2::CommandButton1);
    forms.inner.Run();
  }
  const double run_ms = MsSince(start);
  if (forms.inner.Run() != kExitInstalled || system.nominal_ms == 0 ||
      FileSize(Installed(kMenuFileName)) == 0) {
    Die("the sample run did not install");
  }
  return run_ms;
}

RunFigures MeasureRun(FileSystem& files, const std::string& sample) {
  std::vector<double> pauses, overheads, flushes;
  std::uint32_t nominal = 0;
  for (int i = 0; i < 3; ++i) {
    BenchSystem system(true);
    const double run_ms = Install(files, system, sample);
    // Each run pays its own pauses: the overhead's median, not the difference of medians.
    overheads.push_back(run_ms - system.paused_ms);
    pauses.push_back(system.paused_ms);
    nominal = system.nominal_ms;
    flushes.push_back(
        WriteAndFlushMs(files, InSource("flushed"), ReadWholeFile(Installed(kMenuFileName))));
  }
  return {Median(overheads), Median(pauses), Median(flushes), nominal};
}

// Each phase prints what it measured and returns its figures for the summary.

struct MenuPhase {
  double menu_vs_copy, peak_vs_template;
};

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

struct DeployPhase {
  double deploy_vs_moves, per_file_ratio;
};

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

double InstallRun(FileSystem& files, const std::string& sample) {
  const RunFigures run = MeasureRun(files, sample);
  std::printf(
      "install run on sample/dist with real pauses (median of 3): its %u ms of pauses took %.1f, "
      "the rest %.1f ms (goal < 20 ms)\n",
      run.nominal_ms, run.paused_ms, run.overhead_ms);
  std::printf(
      "  writing a file of the menu file's size and flushing it to the disk takes %.1f here\n",
      run.flush_ms);
  CountingFileSystem counted(files);
  BenchSystem no_pauses(false);
  const double run_ms = Install(counted, no_pauses, sample);
  std::printf("  one more run without pauses, %.1f, its file-system calls:\n", run_ms);
  PrintTallies(counted);
  return run.overhead_ms;
}

}  // namespace

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
