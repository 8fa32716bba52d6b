#pragma once
// Start-up: the agreement screen, from which the screens' handlers drive everything else.

#include "setup/screens/program.h"

namespace setup {

void Main(Program& program);

}  // namespace setup
