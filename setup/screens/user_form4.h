#pragma once
// The progress screen. Showing it starts the install run, which is its activation handler.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "setup/install/deploy.h"
#include "setup/screens/program.h"

namespace setup {

// Reasons end in two spaces, which stand between them and the abort sentence.
inline constexpr std::string_view kNoSystemFolderReason = "システムフォルダーを取得できません!!  ";

// The completion message for files that could not be placed: at most 20 names, then a count.
std::string IncompleteMessage(const std::vector<std::string>& unplaced);

class UserForm4 final : public Screen {
 public:
  enum Control : ControlId { ProgressBar1, Label1 };
  static constexpr ScreenKind kKind = ScreenKind::kUserForm4;
  static const FormSpec& Layout();

  explicit UserForm4(Program& program) : Screen(program, kKind, Layout()) {}

  // The install run: from the start question to the end of the program, or back to the
  // confirmation screen.
  void UserForm_Activate() override;
  void UserForm_QueryClose(std::int16_t& Cancel, std::int16_t CloseMode) override;

  // -1 while the run must not be interrupted: the form's own true, not a slip; the close guard
  // takes any non-zero value.
  std::int16_t Busy = 0;

 private:
  void SetStatus(std::string_view text) { window().SetCaption(Label1, text); }
  void SetProgress(float value) { window().SetProgress(ProgressBar1, value); }
  void SetBusy(bool busy);
  // What became of a tool file, for the log.
  void LogPlacing(const FilePlacing& file);
  // Shows the reason with the abort sentence, closes the screen and ends the program. Undoes
  // nothing.
  void AbortSetup(std::string_view reason);
};

}  // namespace setup
