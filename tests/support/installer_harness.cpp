#include "tests/support/installer_harness.h"

#include <gtest/gtest.h>

#include "setup/screens/setup1.h"

namespace setup::testing {

InstallerHarness::InstallerHarness()
    : disk({{'C', root.Join("c")}, {'D', root.Join("d")}, {'E', root.Join("e")}}) {
  for (const char* folder : {"c", "d", "d/SETUP", "e"}) root.MakeFolder(folder);
}

void InstallerHarness::Start() {
  Main(program);
  toolkit.RunPending();
}

bool InstallerHarness::StartToConfirmation() {
  Start();
  return toolkit.Press("UserForm1", "Command3") && toolkit.Press("UserForm1", "Command1");
}

void InstallerHarness::StartAndConfirm() {
  ASSERT_TRUE(StartToConfirmation());
  ASSERT_TRUE(toolkit.Press("UserForm2", "CommandButton1"));
}

void InstallerHarness::InstallAnsweringYes() {
  toolkit.AnswerNext(kIdYes);
  StartAndConfirm();
}

}  // namespace setup::testing
