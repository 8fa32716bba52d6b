#pragma once
// A whole installer on real files: drive C: and D: are folders of a scratch directory, the
// installer runs from D:\SETUP, screens and boxes are scripted.

#include <string>
#include <string_view>

#include "setup/platform/posix/posix_file_system.h"
#include "setup/screens/program.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/scripted_system.h"
#include "tests/support/scripted_toolkit.h"
#include "tests/support/temp_dir.h"

namespace setup::testing {

class InstallerHarness {
 public:
  InstallerHarness();

  // Runs Main and lets the first screen activate.
  void Start();
  // From start-up to the confirmation screen, agreeing on the way; false when a press was
  // refused.
  [[nodiscard]] bool StartToConfirmation();
  // From start-up to the progress screen's start question, agreeing on the way.
  void StartAndConfirm();
  // Start-up to the end of a run answered Yes.
  void InstallAnsweringYes();

  TempDir root;
  Journal journal;
  ScriptedToolkit toolkit{journal};
  ScriptedSystem system{journal};
  PosixFileSystem disk;
  FaultFileSystem files{disk};
  Program program{Platform{toolkit, toolkit, system, files}};
};

}  // namespace setup::testing
