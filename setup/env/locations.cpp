#include "setup/env/locations.h"

#include <vector>

namespace setup {

std::string InFolder(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += '\\';
  path += name;
  return path;
}

std::string Utf8Prefix(std::string_view text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t chars = 0; end < text.size() && chars < count; ++chars) {
    ++end;
    // Continuation bytes belong to the character already counted.
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  }
  return std::string(text.substr(0, end));
}

void UpToLastBackslash(std::string_view text, std::string& result) {
  // Safe on UTF-8: a backslash byte never occurs inside a multi-byte character. (It can in the
  // ANSI code page, which is why the path is decoded before it gets here.)
  const std::size_t cut = text.rfind('\\');
  result.clear();
  if (cut != std::string_view::npos) result.assign(text.substr(0, cut + 1));
}

Status GetWindowsDir(System& system, std::string& windows_dir) {
  windows_dir.clear();
  const std::uint32_t size = system.GetSystemDirectoryA(nullptr, 0);
  if (size == 0) {
    return Status::Error(StatusCode::kNotFound, "the system directory could not be obtained");
  }
  std::vector<char> buffer(size, ' ');
  buffer.back() = '\0';
  const std::uint32_t length = system.GetSystemDirectoryA(buffer.data(), size);
  if (length == 0 || length >= size) {
    return Status::Error(StatusCode::kOther, "the system directory changed while being read");
  }
  const std::string system_dir =
      system.AnsiCodePage().ToUtf8(std::string_view(buffer.data(), length));
  UpToLastBackslash(system_dir, windows_dir);
  if (windows_dir.empty()) {
    return Status::Error(StatusCode::kOther, "the system directory holds no backslash");
  }
  return Status::Ok();
}

void DeriveInstallDirs(InstallLocations& locations) {
  locations.InstallDir = Utf8Prefix(locations.WindowsDir, 3);
  locations.InstallDir += kProductWord;
  locations.InstallDirSlash = Utf8Prefix(locations.WindowsDir, 2);
  locations.InstallDirSlash += '/';
  locations.InstallDirSlash += kProductWord;
}

}  // namespace setup
