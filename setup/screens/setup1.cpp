#include "setup/screens/setup1.h"

namespace setup {

void Main(Program& program) {
  // A handler, so the program cannot end before the first screen exists.
  program.Handle([&] { program.LoadAndShow(ScreenKind::kUserForm1); });
}

}  // namespace setup
