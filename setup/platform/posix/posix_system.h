#pragma once
// The operating system as the install run sees it, on a POSIX system standing in for Windows.

#include <cstdint>
#include <string>

#include "setup/platform/posix/posix_code_page.h"
#include "setup/platform/status.h"
#include "setup/platform/system.h"

namespace setup {

class PosixSystem : public System {
 public:
  // `application_path` is the Windows-form folder the program runs from; a trailing backslash
  // is dropped except at a drive root. `system_directory_ansi` is the system folder in the
  // ANSI code page, as Windows would report it; empty stands for a system that cannot say.
  PosixSystem(std::string application_path, std::string system_directory_ansi);

  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override;
  Status ApplicationPath(std::string& folder) override;
  void Sleep(std::uint32_t milliseconds) override;
  const CodePage& AnsiCodePage() const override;

 private:
  std::string application_path_;
  std::string system_directory_ansi_;
  PosixCodePage code_page_;
};

}  // namespace setup
