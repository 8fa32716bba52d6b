#pragma once
// Screens and message boxes for a run nobody watches: no window is made and nothing is shown.
// The program's code runs as it would with the screens, through the same interfaces.

#include <memory>
#include <string_view>
#include <vector>

#include "setup/platform/forms.h"
#include "setup/platform/message_box.h"

namespace setup {

class HeadlessForms final : public FormsToolkit, public MessageBoxes {
 public:
  // A window that shows nothing; showing it queues the form's activation for Run.
  Status Load(const FormSpec& layout, FormEvents& events,
              std::unique_ptr<FormWindow>& window) override;
  // Nothing waits: no window, no input.
  void ProcessMessages() override {}
  // The first status given stands.
  void Quit(int exit_code) override;
  // Questions are answered Yes, everything else OK.
  int Ask(std::string_view text, std::string_view title, unsigned flags) override;

  // Activates the forms shown, in turn, until the program quits or none is left to activate.
  // Returns the exit status, or -1 while the program has not quit.
  int Run();

 private:
  std::vector<FormEvents*> to_activate_;
  int exit_code_ = -1;
};

}  // namespace setup
