#pragma once
// A system whose directories are set by the test and whose pauses are journalled, not slept.

#include <string>

#include "setup/platform/posix/posix_code_page.h"
#include "setup/platform/system.h"
#include "tests/support/scripted_toolkit.h"

namespace setup::testing {

class ScriptedSystem final : public System {
 public:
  explicit ScriptedSystem(Journal& journal) : journal_(journal) {}

  // ANSI bytes as GetSystemDirectoryA gives them; empty makes the lookup fail.
  std::string system_directory = "C:\\WINDOWS\\system32";
  std::string application_path = "D:\\SETUP";
  bool application_path_fails = false;

  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override;
  Status ApplicationPath(std::string& folder) override;
  void Sleep(std::uint32_t milliseconds) override;
  const CodePage& AnsiCodePage() const override { return code_page_; }

 private:
  Journal& journal_;
  PosixCodePage code_page_;
};

}  // namespace setup::testing
