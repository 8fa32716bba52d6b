// Scaffolding, not timed: the scratch folders and files the figures are taken on.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bench/win32_bench.h"
#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"

namespace setup::bench {

using win32::UniqueFindHandle;
using win32::UniqueHandle;
using win32::Wide;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "win32_bench: %s (error %lu)\n", what.c_str(), GetLastError());
  std::exit(1);
}

void WriteNewFile(const std::string& path, std::string_view bytes) {
  UniqueHandle file(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD put = 0;
  if (!file.valid() ||
      !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) ||
      put != bytes.size() || !file.Close()) {
    Die("cannot write " + path);
  }
}

std::string ReadWholeFile(const std::string& path) {
  UniqueHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file.valid() || !GetFileSizeEx(file.get(), &size)) Die("cannot read " + path);
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD got = 0;
  if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
      got != bytes.size()) {
    Die("cannot read " + path);
  }
  return bytes;
}

std::uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// The names in the folder, without "." and "..".
std::vector<std::wstring> Names(const std::string& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(FindFirstFileW(Wide(folder + "\\*").c_str(), &data));
  if (!find.valid()) return names;
  do {
    const std::wstring_view name = data.cFileName;
    if (name != L"." && name != L"..") names.emplace_back(name);
  } while (FindNextFileW(find.get(), &data));
  return names;
}

void MakeFolder(const std::string& folder) {
  if (!CreateDirectoryW(Wide(folder).c_str(), nullptr)) Die("cannot make " + folder);
}

void Move(const std::string& from, const std::string& to) {
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), 0)) Die("cannot move " + from);
}

// Whatever stands in the source and install folders goes aside, on its own drive, in one rename
// each: through Wine, removing or making each of thousands of files in a folder costs a read of
// the whole folder. bench.sh removes it all at the end.
void PutAway() {
  static int put_away = 0;
  const std::string n = std::to_string(++put_away);
  for (const std::string& folder : {kLocations.SourceDir, kLocations.InstallDir}) {
    if (GetFileAttributesW(Wide(folder).c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    Move(folder, folder.substr(0, 3) + "put-away\\" + n);
  }
}

// An empty source folder and no install folder, as before a first install.
void FreshFolders() {
  PutAway();
  MakeFolder(kLocations.SourceDir);
}

}  // namespace setup::bench
