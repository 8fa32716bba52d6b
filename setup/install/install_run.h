#pragma once
// The install run: the progress screen's activation, from the start question to the end of the
// program.

#include <string>
#include <string_view>
#include <vector>

#include "setup/screens/program.h"

namespace setup {

class UserForm4;

// Reasons end in two spaces, which stand between them and the abort sentence.
inline constexpr std::string_view kNoSystemFolderReason = "システムフォルダーを取得できません!!  ";

// Runs in the progress screen's activation; returns when the program has gone on to another
// screen or ended.
void RunInstall(Program& program, UserForm4& form);

// Shows the reason with the abort sentence, closes the progress screen and ends the program.
// Undoes nothing. The caller returns at once.
void AbortSetup(Program& program, std::string_view reason);

// The completion message for files that could not be placed: at most 20 names, then a count.
std::string IncompleteMessage(const std::vector<std::string>& unplaced);

}  // namespace setup
