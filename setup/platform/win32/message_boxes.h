#pragma once
// Message boxes owned by the screen the user is looking at, or by none.

#include "setup/platform/message_box.h"

namespace setup::win32 {

class Win32FormsToolkit;

class Win32MessageBoxes final : public MessageBoxes {
 public:
  // Without the screens' toolkit, boxes of their own, which still come to the front and block the
  // program.
  Win32MessageBoxes() = default;
  explicit Win32MessageBoxes(const Win32FormsToolkit& toolkit) : toolkit_(&toolkit) {}
  int Ask(std::string_view text, std::string_view title, unsigned flags) override;

 private:
  const Win32FormsToolkit* toolkit_ = nullptr;
};

}  // namespace setup::win32
