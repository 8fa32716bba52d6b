#include "setup/screens/setup1.h"

namespace setup {

void Main(Program& program) {
  // Counts as running code, so the program cannot end before the first screen exists.
  Program::Running running(program);
  program.LoadAndShow(ScreenKind::kUserForm1);
}

}  // namespace setup
