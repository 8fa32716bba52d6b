// The whole install run against its pauses.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/counting_file_system.h"
#include "bench/win32_bench.h"
#include "setup/install/tool_menu.h"
#include "setup/platform/headless/headless_forms.h"
#include "setup/platform/win32/wide.h"
#include "setup/screens/program.h"
#include "setup/screens/setup1.h"
#include "setup/screens/user_form1.h"
#include "setup/screens/user_form2.h"

namespace setup::bench {

using win32::Wide;

namespace {

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

}  // namespace

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

}  // namespace setup::bench
