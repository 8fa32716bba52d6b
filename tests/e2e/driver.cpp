// Walks setup.exe through its screens under Wine as a person would and checks what it shows and
// leaves behind. Each scenario is a row of the table in scenarios.cpp: how to lay out the
// distribution and drive C:, then steps (steps.cpp), each an action on the running program or a
// check of it. The screens' design comes from the program's own layout tables; what the user
// reads on them (titles, the blue sentence) and what the program does (texts, values, pauses,
// message boxes and their icons, exit statuses, files) is written out in the driver on its own.
//
//   driver setup=<setup.exe> dist=<distribution> work=<folder> programs=<folder of
//       minimal_window.exe, dll_probe.exe and planted\> [cross=<folder on another file system>]
//       [only=a,b | part=i/n] [shots=<folder>] [verbose=1]
// It prints "code page N, D dpi", a PASS or FAIL line for each scenario with what failed, and
// "e2e: P passed, F failed"; it exits with 0 when all passed.

#include "tests/e2e/driver.h"

std::map<std::wstring, std::wstring> e2e::opt;
using namespace e2e;

int wmain(int argc, wchar_t** argv) {
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  setvbuf(stdout, nullptr, _IONBF, 0);
  for (const std::wstring arg : std::vector(argv + 1, argv + argc))
    opt[arg.substr(0, arg.find(L'='))] = arg.substr(std::min(arg.find(L'='), arg.size() - 1) + 1);
  std::printf("code page %u, %u dpi\n", GetACP(), GetDpiForSystem());
  int passed = 0, failed = 0;
  for (const Scenario& s : kScenarios) {
    // only=a,b or else part=i/n: every n-th scenario from the i-th but planted-dlls, which needs
    // Wine set up for it.
    const std::wstring only = L"," + opt[L"only"] + L",", part = opt[L"part"] + L"1/1";
    if (only == L",," ? (s.prep & (kPlant | kNoSetup)) ||
                            (&s - kScenarios.data()) % (part[2] - L'0') != part[0] - L'1'
                      : only.find(L"," + Wide(s.name) + L",") == std::wstring::npos)
      continue;
    Ctx c{s};
    const double start = double(GetTickCount64());
    for (bool going = Prepare(c); const Step& step : s.steps) going = going && Do(c, step);
    if (c.p.valid() && !ExitCode(c.p, 0) && !c.Check(false, "setup.exe still ran; ended it"))
      TerminateProcess(c.p.get(), 99) && ExitCode(c.p, 5000);
    if (s.prep & kLink) Host("rm", {L"-f", kInstall}, [] { return !fs::exists(kInstall); });
    if (s.prep & kContrast) Contrast(false);
    std::printf("%s %s (%.1f s)\n", c.fails.empty() ? "PASS" : "FAIL", s.name,
                (double(GetTickCount64()) - start) / 1000);
    for (const string& f : c.fails) std::printf("  - %s\n", f.c_str());
    ++(c.fails.empty() ? passed : failed);
  }
  std::printf("e2e: %d passed, %d failed\n", passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
