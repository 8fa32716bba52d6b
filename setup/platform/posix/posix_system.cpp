#include "setup/platform/posix/posix_system.h"

#include <chrono>
#include <cstring>
#include <limits>
#include <thread>
#include <utility>

namespace setup {
namespace {

// "E:\tool\" -> "E:\tool", but "E:\" stays, being the root and not a folder name.
std::string WithoutTrailingSeparator(std::string folder) {
  while (folder.size() > 1 && folder.back() == '\\' && !(folder.size() == 3 && folder[1] == ':')) {
    folder.pop_back();
  }
  return folder;
}

}  // namespace

PosixSystem::PosixSystem(std::string application_path, std::string system_directory_ansi)
    : application_path_(WithoutTrailingSeparator(std::move(application_path))),
      system_directory_ansi_(std::move(system_directory_ansi)) {}

std::uint32_t PosixSystem::GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  if (system_directory_ansi_.empty() ||
      system_directory_ansi_.size() >= std::numeric_limits<std::uint32_t>::max()) {
    return 0;
  }
  const auto length = static_cast<std::uint32_t>(system_directory_ansi_.size());
  if (buffer == nullptr || size <= length) return length + 1;
  std::memcpy(buffer, system_directory_ansi_.data(), length);
  buffer[length] = '\0';
  return length;
}

Status PosixSystem::ApplicationPath(std::string& folder) {
  folder = application_path_;
  return Status::Ok();
}

void PosixSystem::Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

const CodePage& PosixSystem::AnsiCodePage() const {
  return code_page_;
}

}  // namespace setup
