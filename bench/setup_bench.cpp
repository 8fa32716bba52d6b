// Measures the install run's costly parts on real files, each against a baseline measured in the
// same run: menu generation against cp, a template of one long line of lead bytes against an
// ordinary one, deployment against one mv, the whole run against its own pauses, and the
// generation's peak memory against the template's size.
//
//   setup_bench SAMPLE_DIST DEPLOY_PLOT_DATA

#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "setup/install/deploy.h"
#include "setup/install/tool_menu.h"
#include "setup/platform/posix/posix_code_page.h"
#include "setup/platform/posix/posix_file_system.h"
#include "setup/platform/posix/posix_system.h"
#include "setup/screens/program.h"
#include "setup/screens/setup1.h"
#include "setup/screens/user_form1.h"
#include "setup/screens/user_form2.h"
#include "tests/support/quiet_forms.h"
#include "tests/support/scratch.h"

extern char** environ;  // handed to the spawned baselines

namespace {

using namespace setup;
using namespace setup::testing;
using Clock = std::chrono::steady_clock;

constexpr int kRepeats = 5;
constexpr std::size_t kTemplateSize = 64u << 20;

const InstallLocations kLocations{.SourceDir = "D:\\SETUP",
                                  .WindowsDir = "C:\\WINDOWS\\",
                                  .InstallDir = "C:\\Tessaradyne",
                                  .InstallDirSlash = "C:/Tessaradyne"};

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::ranges::sort(values);
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

[[noreturn]] void Die(const std::string& what) {
  std::cerr << "setup_bench: " << what << '\n';
  std::exit(1);
}

// Runs the command and waits for it; the time includes starting the process, as a script
// running the tool would pay it. Spawned rather than forked, so that the start does not grow
// with this process's memory.
double TimedProcess(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const Clock::time_point start = Clock::now();
  pid_t child = 0;
  if (::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    Die(args[0] + " could not be started");
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    Die(args[0] + " failed");
  }
  return MsSince(start);
}

// Drives C: and D: on the disk the figures are about ($TMPDIR or /tmp), not in memory; the
// distribution in D:\SETUP.
struct Drives {
  std::string Source(const std::string& name = {}) const {
    return root.Path("d/SETUP/" + name).string();
  }
  std::string Installed() const { return root.Path("c/Tessaradyne").string(); }

  Scratch root{std::filesystem::temp_directory_path()};
};

// Menu lines as a tool ships them: Shift-JIS captions, a fifth of the lines loading files from
// the install folder.
std::string MenuTemplate(std::size_t size) {
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

// One line of lead bytes and nothing else, each of them taking the next as its trail byte: the
// template that once made generation quadratic in the line and its memory grow with it.
std::string LeadByteLine(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned n = static_cast<unsigned>(i % 60);  // 31 from 0x81 to 0x9F, 29 from 0xE0
    bytes[i] = static_cast<char>(n < 31 ? 0x81 + n : 0xE0 + n - 31);
  }
  return bytes;
}

void WriteTemplate(Drives& drives, const std::string& bytes) {
  drives.root.Write("d/SETUP/org_TOOL", bytes);
  if (std::filesystem::file_size(drives.Source("org_TOOL")) != bytes.size()) {
    Die("cannot write the template");
  }
}

// GenerateToolMenu as the install run calls it, its pause taking no time.
bool Generate(Drives& drives) {
  PauseProbe system;
  return GenerateToolMenu(drives.root.posix, system, kLocations).abort_reason.empty();
}

// What a program pays to first use that much newly allocated memory; on some virtual machines
// this alone outweighs copying the bytes.
double FirstTouchMs(std::size_t bytes) {
  const Clock::time_point start = Clock::now();
  std::vector<char> memory(bytes, 1);
  volatile char sink = memory[bytes / 2];
  (void)sink;
  return MsSince(start);
}

// The menu's size, built from the template in memory the way generation feeds the builder:
// a megabyte at a time, into one output buffer emptied after each piece.
std::size_t BuildInPieces(std::string_view template_bytes, const CodePage& code_page) {
  constexpr std::size_t kPiece = 1u << 20;
  const std::string replacement = kLocations.InstallDirSlash + "/";
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

struct MenuFigures {
  double generate_ms, cp_ms, build_ms, touch_ms, sync_ms;
};

// Each round measures every template in turn, so that a change in the machine's load between
// rounds reaches all of them alike.
std::vector<MenuFigures> MeasureMenus(const std::vector<Drives*>& all) {
  struct Samples {
    std::string template_bytes;
    std::vector<double> generate, cp, build, touch, sync;
  };
  std::vector<Samples> samples(all.size());
  for (std::size_t d = 0; d < all.size(); ++d) {
    samples[d].template_bytes = all[d]->root.Read("d/SETUP/org_TOOL").value_or("");
  }
  const PosixCodePage code_page;
  for (int i = 0; i <= kRepeats; ++i) {  // the first round only warms up
    for (std::size_t d = 0; d < all.size(); ++d) {
      Drives& drives = *all[d];
      Samples& s = samples[d];
      std::filesystem::remove(drives.Source("copy"));
      const double cp_ms = TimedProcess({"cp", drives.Source("org_TOOL"), drives.Source("copy")});
      // Generation flushes the menu file to the disk before it puts it in place; cp does not.
      const double sync_ms = TimedProcess({"sync", drives.Source("copy")});
      std::filesystem::remove(drives.Source(std::string(kMenuFileName)));
      Clock::time_point start = Clock::now();
      if (!Generate(drives)) Die("menu generation failed");
      const double generate_ms = MsSince(start);
      start = Clock::now();
      const std::size_t menu_size = BuildInPieces(s.template_bytes, code_page);
      const double build_ms = MsSince(start);
      if (std::filesystem::file_size(drives.Source(std::string(kMenuFileName))) != menu_size) {
        Die("the menu file is not the menu");
      }
      const double touch_ms = FirstTouchMs(s.template_bytes.size() + menu_size);
      if (i == 0) continue;
      s.cp.push_back(cp_ms);
      s.sync.push_back(sync_ms);
      s.generate.push_back(generate_ms);
      s.build.push_back(build_ms);
      s.touch.push_back(touch_ms);
    }
  }
  std::vector<MenuFigures> figures;
  for (const Samples& s : samples) {
    figures.push_back(
        {Median(s.generate), Median(s.cp), Median(s.build), Median(s.touch), Median(s.sync)});
  }
  return figures;
}

MenuFigures MeasureMenu(Drives& drives) {
  return MeasureMenus({&drives}).front();
}

// Runs `measure` in a child process and returns its figures, so that nothing this process
// allocated before, and no allocator setting made there, counts.
template <std::size_t N>
std::array<double, N> InChild(const std::function<std::array<double, N>()>& measure) {
  int fds[2];
  if (::pipe(fds) != 0) Die("pipe failed");
  const pid_t child = ::fork();
  if (child < 0) Die("fork failed");
  if (child == 0) {
    const std::array<double, N> figures = measure();
    const bool sent = ::write(fds[1], figures.data(), sizeof figures) == sizeof figures;
    ::_exit(sent ? 0 : 1);
  }
  ::close(fds[1]);
  std::array<double, N> figures{};
  const bool got = ::read(fds[0], figures.data(), sizeof figures) == sizeof figures;
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) Die("child measurement failed");
  return figures;
}

struct PeakFigures {
  double baseline_kb, peak_kb;
};

PeakFigures MeasurePeak(Drives& drives) {
  const auto figures = InChild<2>([&] {
    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    if (!Generate(drives)) Die("menu generation failed");
    ::getrusage(RUSAGE_SELF, &after);
    return std::array<double, 2>{static_cast<double>(before.ru_maxrss),
                                 static_cast<double>(after.ru_maxrss)};
  });
  return {figures[0], figures[1]};
}

// Generation and cp again, with the allocator keeping freed memory for reuse: what is left of
// the difference once first use of memory is paid.
MenuFigures MeasureMenuReusingMemory(Drives& drives) {
  const auto figures = InChild<2>([&] {
    ::mallopt(M_MMAP_MAX, 0);
    ::mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
    const MenuFigures menu = MeasureMenu(drives);
    return std::array<double, 2>{menu.generate_ms, menu.cp_ms};
  });
  return {figures[0], figures[1], 0, 0, 0};
}

// Tool files of every kind among other files, as a large distribution would hold them.
std::vector<std::string> MakeDistribution(const Drives& drives, int tools) {
  static const char* const kToolEndings[] = {".dvb", ".bmp", ".bmp", ".mns"};
  static const char* const kOtherEndings[] = {".txt", ".dll", ".dvbx", ".ini", ".exe"};
  std::vector<std::string> names;
  for (int i = 0; i < tools; ++i) {
    names.push_back("TdTool" + std::to_string(i) + kToolEndings[i % 4]);
    drives.root.Write("d/SETUP/" + names.back(), "tool file " + names.back());
  }
  for (int i = 0; i < tools / 5; ++i) {
    drives.root.Write("d/SETUP/TdOther" + std::to_string(i) + kOtherEndings[i % 5], "other");
  }
  if (!std::filesystem::exists(drives.Source(names.back()))) Die("cannot write the distribution");
  return names;
}

struct DeployFigures {
  double deploy_ms, mv_ms;
};

DeployFigures MeasureDeploy(int tools, int repeats) {
  std::vector<double> deploy, mv;
  for (int i = 0; i < repeats; ++i) {
    {
      Drives drives;
      MakeDistribution(drives, tools);
      const Clock::time_point start = Clock::now();
      const std::vector<std::string> unplaced = DeployProgramFiles(drives.root.posix, kLocations);
      deploy.push_back(MsSince(start));
      if (!unplaced.empty()) Die("deployment left " + unplaced.front());
    }
    {
      Drives drives;
      std::vector<std::string> args = {"mv", "-t", drives.Installed()};
      for (const std::string& name : MakeDistribution(drives, tools)) {
        args.push_back(drives.Source(name));
      }
      std::filesystem::create_directory(drives.Installed());
      mv.push_back(TimedProcess(args));
    }
  }
  return {Median(deploy), Median(mv)};
}

// The real system's pauses, each timed, so the run's own cost is what remains.
class TimedPauses final : public System {
 public:
  TimedPauses() : inner_("D:\\SETUP", "C:\\WINDOWS\\system32") {}
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override {
    return inner_.GetSystemDirectoryA(buffer, size);
  }
  Status ApplicationPath(std::string& folder) override { return inner_.ApplicationPath(folder); }
  void Sleep(std::uint32_t milliseconds) override {
    const Clock::time_point start = Clock::now();
    inner_.Sleep(milliseconds);
    paused_ms += MsSince(start);
    nominal_ms += milliseconds;
  }
  const CodePage& AnsiCodePage() const override { return inner_.AnsiCodePage(); }

  double paused_ms = 0;
  std::uint32_t nominal_ms = 0;

 private:
  PosixSystem inner_;
};

struct RunFigures {
  double run_ms, paused_ms;
  std::uint32_t nominal_ms;
  double flush_ms;
};

// Writing a new file with these bytes through the file system the run uses, flushed to the disk
// as the run does with the menu file.
double WriteAndFlushMs(PosixFileSystem& disk, const std::string& path, const std::string& bytes) {
  const Clock::time_point start = Clock::now();
  std::unique_ptr<WritableFile> file;
  if (!disk.OpenForWriting(path, file).ok() || !file->Append(bytes).ok() || !file->Close().ok()) {
    Die("cannot write " + path);
  }
  return MsSince(start);
}

RunFigures MeasureRun(const std::string& sample) {
  std::vector<double> runs, pauses, overheads, flushes;
  std::uint32_t nominal = 0;
  for (int i = 0; i < 3; ++i) {
    Drives drives;
    std::filesystem::copy(sample, drives.Source(), std::filesystem::copy_options::recursive);
    QuietForms forms;
    TimedPauses system;
    const Clock::time_point start = Clock::now();
    {
      // As a person goes through it; each screen activates once shown, the progress screen's
      // activation being the install run.
      Program program(Platform{forms, forms, system, drives.root.posix});
      Main(program);
      forms.current->Activate();
      forms.current->Click(UserForm1::Command3);
      forms.current->Click(UserForm1::Command1);
      forms.current->Activate();
      forms.current->Click(UserForm2::CommandButton1);
      forms.current->Activate();
    }
    const double run_ms = MsSince(start);
    if (forms.exit_codes != std::vector<int>{kExitInstalled} || system.nominal_ms == 0) {
      Die("the sample run did not install");
    }
    runs.push_back(run_ms);
    pauses.push_back(system.paused_ms);
    overheads.push_back(run_ms - system.paused_ms);
    nominal = system.nominal_ms;
    const std::string menu =
        drives.root.Read("c/Tessaradyne/" + std::string(kMenuFileName)).value();
    flushes.push_back(WriteAndFlushMs(drives.root.posix, "D:\\SETUP\\flushed", menu));
  }
  // The overhead's median, not the difference of medians: each run pays its own pauses.
  const double overhead = Median(overheads);
  const double paused = Median(pauses);
  return {paused + overhead, paused, nominal, Median(flushes)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: setup_bench SAMPLE_DIST DEPLOY_PLOT_DATA\n";
    return 64;
  }
  std::printf("(median of %d runs each; times in ms)\n", kRepeats);

  double menu_vs_cp = 0, peak_vs_template = 0;
  {
    Drives drives;
    WriteTemplate(drives, MenuTemplate(kTemplateSize));
    const PeakFigures peak = MeasurePeak(drives);
    const MenuFigures menu = MeasureMenu(drives);
    menu_vs_cp = menu.generate_ms / menu.cp_ms;
    const double template_mib = static_cast<double>(kTemplateSize) / (1 << 20);
    std::printf(
        "menu generation, GenerateToolMenu on POSIX files, %.0f MiB template: %.1f vs cp %.1f "
        "-> %.2fx (goal <= 2x)\n",
        template_mib, menu.generate_ms, menu.cp_ms, menu_vs_cp);
    std::printf(
        "  of which building the menu in memory, a megabyte at a time, takes %.1f; first use of "
        "as much new memory as template and menu would need whole takes %.1f here\n",
        menu.build_ms, menu.touch_ms);
    std::printf(
        "  flushing cp's copy to the disk (sync FILE, which generation does itself) takes %.1f\n",
        menu.sync_ms);
    const MenuFigures reused = MeasureMenuReusingMemory(drives);
    std::printf("  with freed memory kept for reuse: %.1f vs cp %.1f -> %.2fx\n",
                reused.generate_ms, reused.cp_ms, reused.generate_ms / reused.cp_ms);
    peak_vs_template =
        (peak.peak_kb - peak.baseline_kb) * 1024 / static_cast<double>(kTemplateSize);
    std::printf(
        "peak memory of that generation: %.1f MiB above a baseline of %.1f MiB -> %.2fx the "
        "template (goal <= 2x)\n",
        (peak.peak_kb - peak.baseline_kb) / 1024, peak.baseline_kb / 1024, peak_vs_template);
  }

  // One line of lead bytes against menu lines of the same size, and the line again at a quarter
  // of the size.
  double lead_vs_plain = 0, lead_long_vs_short = 0, lead_peak_vs_template = 0;
  {
    constexpr std::size_t kLong = 16u << 20, kShort = 4u << 20;
    Drives plain, lead, short_lead;
    WriteTemplate(plain, MenuTemplate(kLong));
    WriteTemplate(lead, LeadByteLine(kLong));
    WriteTemplate(short_lead, LeadByteLine(kShort));
    const PeakFigures peak = MeasurePeak(lead), short_peak = MeasurePeak(short_lead);
    const std::vector<MenuFigures> menus = MeasureMenus({&plain, &lead, &short_lead});
    const MenuFigures &ordinary = menus[0], &line = menus[1], &short_line = menus[2];
    lead_vs_plain = line.generate_ms / ordinary.generate_ms;
    lead_long_vs_short = line.generate_ms / short_line.generate_ms;
    std::printf(
        "one line of lead bytes, 16 MiB without a line end: GenerateToolMenu %.1f vs %.1f on "
        "menu lines of the same size -> %.2fx\n",
        line.generate_ms, ordinary.generate_ms, lead_vs_plain);
    std::printf(
        "  the line at 4 MiB takes %.1f -> 16 MiB / 4 MiB = %.2f (linear: 4); building in memory "
        "takes %.1f at 16 MiB, %.1f at 4 MiB (%.2f), %.1f for the menu lines\n",
        short_line.generate_ms, lead_long_vs_short, line.build_ms, short_line.build_ms,
        line.build_ms / short_line.build_ms, ordinary.build_ms);
    const double peak_mib = (peak.peak_kb - peak.baseline_kb) / 1024;
    const double short_peak_mib = (short_peak.peak_kb - short_peak.baseline_kb) / 1024;
    lead_peak_vs_template = peak_mib * (1 << 20) / static_cast<double>(kLong);
    std::printf(
        "  peak memory above the child's own before: %.1f MiB at 16 MiB -> %.2fx the line, %.1f "
        "MiB at 4 MiB (flat: the same)\n",
        peak_mib, lead_peak_vs_template, short_peak_mib);
  }

  std::map<int, DeployFigures> deploys;
  for (int tools : {500, 1000, 2000, 5000, 10000}) deploys[tools] = MeasureDeploy(tools, kRepeats);
  const DeployFigures& large = deploys.at(10000);
  const DeployFigures& small = deploys.at(1000);
  const double deploy_vs_mv = large.deploy_ms / large.mv_ms;
  std::printf(
      "deployment, DeployProgramFiles of 10000 tool files among 2000 others: %.1f vs one mv "
      "%.1f -> %.2fx (goal <= 1.5x)\n",
      large.deploy_ms, large.mv_ms, deploy_vs_mv);
  const double per_file_small = small.deploy_ms * 1000 / 1000;  // us per tool file
  const double per_file_large = large.deploy_ms * 1000 / 10000;
  const double per_file_ratio = per_file_large / per_file_small;
  std::printf(
      "deployment per file: %.1f us at 10000 files vs %.1f us at 1000 -> %.2fx (goal <= "
      "1.2x)\n",
      per_file_large, per_file_small, per_file_ratio);
  if (std::FILE* plot = std::fopen(argv[2], "w")) {
    std::fprintf(plot, "# tool files, DeployProgramFiles ms, mv ms\n");
    for (const auto& [tools, figures] : deploys) {
      std::fprintf(plot, "%d %.2f %.2f\n", tools, figures.deploy_ms, figures.mv_ms);
    }
    std::fclose(plot);
  } else {
    Die(std::string("cannot write ") + argv[2]);
  }

  const RunFigures run = MeasureRun(argv[1]);
  const double overhead = run.run_ms - run.paused_ms;
  std::printf(
      "install run on sample/dist with real pauses (median of 3): %.1f, its %u ms of pauses "
      "took %.1f -> %.1f ms beyond them (goal < 20 ms)\n",
      run.run_ms, run.nominal_ms, run.paused_ms, overhead);
  std::printf(
      "  writing a file of the menu file's size and flushing it to the disk takes %.1f here\n",
      run.flush_ms);

  std::printf(
      "bench: menu_vs_cp=%.2f deploy_vs_mv=%.2f per_file_10k_vs_1k=%.2f run_overhead_ms=%.1f "
      "peak_rss_vs_template=%.2f lead_line_vs_plain=%.2f lead_line_16_vs_4=%.2f "
      "lead_line_peak_rss_vs_template=%.2f\n",
      menu_vs_cp, deploy_vs_mv, per_file_ratio, overhead, peak_vs_template, lead_vs_plain,
      lead_long_vs_short, lead_peak_vs_template);
  return 0;
}
