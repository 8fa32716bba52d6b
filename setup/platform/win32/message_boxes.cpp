#include "setup/platform/win32/message_boxes.h"

#include <windows.h>

#include "setup/platform/win32/forms_toolkit.h"
#include "setup/platform/win32/wide.h"

namespace setup::win32 {

int Win32MessageBoxes::Ask(std::string_view text, std::string_view title, unsigned flags) {
  HWND owner = toolkit_ != nullptr ? toolkit_->OwnerWindow() : nullptr;
  // Without a screen to belong to, the box still comes to the front and blocks the program.
  UINT style = flags | MB_SETFOREGROUND;
  if (owner == nullptr) style |= MB_TASKMODAL;
  return MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(), style);
}

}  // namespace setup::win32
