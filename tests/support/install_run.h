#pragma once
// The whole install run as a deployment tool starts it, on the in-memory file system, for the
// tests that fail its calls or arrange what it meets.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "setup/platform/headless/headless_forms.h"
#include "setup/screens/setup1.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/test_system.h"
#include "tests/texts.h"

namespace setup::testing {

// 作成 (8D EC 90 AC) and ツール (83 63 81 5B 83 8B) around placeholders; no line end at the end.
inline const std::string kTemplate =
    "ID_TdDraw [\x8D\xEC\x90\xAC]^C^C-vbarun \"xxxxxTessaradyne.dvb!Draw.Start\"\r\n"
    "ID_TdDrawB [_Button(\"\x83\x63\x81\x5B\x83\x8B\", \"xxxxxTdDraw16.bmp\")]";
// Read-only, as from a CD; the kinds are told by their endings in any case. TdExtra.mns is the
// first-listed menu, which replaces its installed copy; TdOther.mns, like the bitmap, keeps it.
inline const Files kToolFiles = {{"Tessaradyne.dvb", "new dvb"},
                                 {"TdLabel.DVB", "new label dvb"},
                                 {"TdDraw16.Bmp", "new bmp 16"},
                                 {"TdExtra.mns", "new extra menu"},
                                 {"TdOther.mns", "new other menu"}};
// The program's disk, which fails where a test says, and the log's, whose calls are not counted.
struct Disk {
  MemoryFileSystem memory, log;
};

// The install run as a deployment tool starts it: shown to nobody, without its designed pauses,
// logging beside it; `arm` readies the file system just before.
struct Installed {
  int exit_code = -1;
  std::vector<std::string> said;  // the boxes as the log has them: "kind: text"
};
inline Installed Install(Disk& disk, System& system, const std::function<void()>& arm) {
  std::unique_ptr<RunLog> log;
  EXPECT_TRUE(RunLog::Open(disk.log, system, "E:\\setup.log", log).ok());
  HeadlessForms forms;
  Installed run;
  {
    Program program(Platform{forms, forms, system, disk.memory, log.get(), /*paced=*/false});
    arm();
    MainSilently(program);
    run.exit_code = forms.Run();
  }
  log->Exit(run.exit_code);  // as the program's start-up ends it
  const std::string lines = disk.log.Get("E:\\setup.log").value_or("");
  for (std::size_t at = 0, end; (end = lines.find("\r\n", at)) != lines.npos; at = end + 2) {
    const std::string line = lines.substr(at, end - at);
    for (const char* kind : {"question: ", "information: ", "warning: ", "error: "})
      if (line.starts_with(kind)) run.said.push_back(line);
  }
  return run;
}

}  // namespace setup::testing
