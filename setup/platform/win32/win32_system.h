#pragma once
// The operating system as the install run sees it, on Windows.

#include <cstdint>
#include <string>

#include "setup/platform/status.h"
#include "setup/platform/system.h"
#include "setup/platform/win32/win32_code_page.h"

namespace setup::win32 {

class Win32System final : public System {
 public:
  // Straight through to ::GetSystemDirectoryA, with its contract.
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override;
  // From the running module's file name, however long; a "\\?\" prefix the system reports is
  // dropped ("\\?\UNC\server\share" becomes "\\server\share").
  Status ApplicationPath(std::string& folder) override;
  void Sleep(std::uint32_t milliseconds) override;
  // Answers messages sent to this thread's windows as they come, and looks at its queue so that
  // Windows sees it alive, without taking anything from the queue.
  void Wait(std::uint32_t milliseconds) override;
  // The code page GetACP named when this object was made.
  const CodePage& AnsiCodePage() const override;

 private:
  Win32CodePage code_page_;
};

}  // namespace setup::win32
