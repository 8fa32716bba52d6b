#include "tests/support/scripted_system.h"

#include "setup/platform/posix/posix_system.h"

namespace setup::testing {

std::uint32_t ScriptedSystem::GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  return PosixSystem(application_path, system_directory).GetSystemDirectoryA(buffer, size);
}

Status ScriptedSystem::ApplicationPath(std::string& folder) {
  if (application_path_fails) {
    return Status::Error(StatusCode::kOther, "application path: refused by the test");
  }
  folder = application_path;
  return Status::Ok();
}

void ScriptedSystem::Sleep(std::uint32_t milliseconds) {
  journal_.Add("sleep " + std::to_string(milliseconds));
}

}  // namespace setup::testing
