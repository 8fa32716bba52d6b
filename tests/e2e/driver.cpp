// Walks setup.exe through its screens under Wine as a person would and checks what it shows and
// leaves behind. Each scenario is a row of the table in scenarios.cpp: how to lay out the
// distribution and drive C:, then steps (steps.cpp), each an action on the running program or a
// check of it. The screens' design comes from the program's own layout tables; what the user
// reads on them (titles, the blue sentence) and what the program does (texts, values, pauses,
// message boxes and their icons, exit statuses, files) is written out in the driver on its own.
//
//   driver setup=<setup.exe> dist=<distribution> work=<folder> programs=<folder of
//       minimal_window.exe and planted\> [cross=<folder on another file system>]
//       [only=a,b | part=i/n] [shots=<folder>] [verbose=1]
//   driver package=1 [only=a,b]
//       as run.cmd starts it: every scenario this system can run, with the programs and the
//       distribution beside driver.exe, in a scratch folder there (package.cpp)
// It prints "code page N, D dpi", a PASS or FAIL line for each scenario with what failed, or a
// SKIP line saying what the system lacks for it, and "e2e: P passed, F failed"; it exits with 0
// when all that ran passed.

#include "tests/e2e/driver.h"

std::map<std::wstring, std::wstring> e2e::opt;
using namespace e2e;

int wmain(int argc, wchar_t** argv) {
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  setvbuf(stdout, nullptr, _IONBF, 0);
  for (const std::wstring arg : std::vector(argv + 1, argv + argc))
    opt[arg.substr(0, arg.find(L'='))] = arg.substr(std::min(arg.find(L'='), arg.size() - 1) + 1);
  const bool package = !opt[L"package"].empty();
  if (package && !PackageBegin()) return std::printf("e2e: 0 passed, 1 failed\n"), 1;
  std::printf("code page %u, %u dpi, %s\n", GetACP(), GetDpiForSystem(),
              Wine() ? "under Wine" : "on Windows");
  int passed = 0, failed = 0, skipped = 0;
  std::vector<Scenario> rows = kScenarios;
  for (Scenario& s : WindowsOnly()) rows.push_back(std::move(s));
  for (const Scenario& s : rows) {
    // only=a,b or else part=i/n: every n-th scenario from the i-th but planted-dlls, which needs
    // Wine set up for it, and the Win32 layer's checks, which run.sh runs on their own; the
    // package runs them all.
    const std::wstring only = L"," + opt[L"only"] + L",", part = opt[L"part"] + L"1/1";
    if (only == L",," ? (!package && ((s.needs & kPlantable) || (s.prep & kNoSetup))) ||
                            (&s - rows.data()) % (part[2] - L'0') != part[0] - L'1'
                      : only.find(L"," + Wide(s.name) + L",") == std::wstring::npos)
      continue;
    if (const string why = SkipReason(s); !why.empty()) {
      std::printf("SKIP %s: %s\n", s.name, why.c_str());
      ++skipped;
      continue;
    }
    Ctx c{s};
    const double start = double(GetTickCount64());
    for (bool going = Prepare(c); const Step& step : s.steps) going = going && Do(c, step);
    if (c.p.valid() && !ExitCode(c.p, 0) && !c.Check(false, "setup.exe still ran; ended it"))
      TerminateProcess(c.p.get(), 99) && ExitCode(c.p, 5000);
    c.held.clear();
    for (const auto& undo : c.undo) undo();
    if (!(s.prep & kNoSetup)) Remove(kInstall);
    std::printf("%s %s (%.1f s)\n", c.fails.empty() ? "PASS" : "FAIL", s.name,
                (double(GetTickCount64()) - start) / 1000);
    for (const string& f : c.fails) std::printf("  - %s\n", f.c_str());
    ++(c.fails.empty() ? passed : failed);
  }
  if (package && !PackageEnd()) ++failed;
  std::printf("e2e: %d passed, %d failed%s\n", passed, failed,
              skipped ? F(", %d skipped", skipped).c_str() : "");
  return failed == 0 && passed > 0 ? 0 : 1;
}
