#include "tests/e2e/files.h"

#include <windows.h>

#include "tests/e2e/ui.h"

namespace e2e {

std::optional<std::string> ReadBytes(const std::wstring& path) {
  Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  return bytes;
}

bool WriteBytes(const std::wstring& path, std::string_view bytes) {
  Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// Names in the folder, split into files and subfolders.
bool List(const std::wstring& folder, std::vector<std::wstring>& files,
          std::vector<std::wstring>& folders) {
  WIN32_FIND_DATAW data;
  setup::win32::UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find.valid()) return false;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? folders : files).push_back(name);
  } while (FindNextFileW(find.get(), &data));
  return true;
}

}  // namespace

std::optional<FileSet> ReadFolder(const std::wstring& folder) {
  std::vector<std::wstring> files, folders;
  if (!List(folder, files, folders)) return std::nullopt;
  FileSet set;
  for (const std::wstring& name : files) {
    set[Utf8(name)] = ReadBytes(folder + L"\\" + name).value_or("<unreadable>");
  }
  return set;
}

bool RemoveTree(const std::wstring& folder) {
  std::vector<std::wstring> files, folders;
  if (List(folder, files, folders)) {
    for (const std::wstring& name : files) {
      const std::wstring path = folder + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
    }
    for (const std::wstring& name : folders) RemoveTree(folder + L"\\" + name);
    RemoveDirectoryW(folder.c_str());
  }
  return !Exists(folder);
}

bool MakeFolder(const std::wstring& folder) {
  return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

namespace {

// The folder's change time: chattr updates it, and Wine passes it through.
std::optional<LONGLONG> ChangeTime(const std::wstring& folder) {
  Handle dir(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  FILE_BASIC_INFO info{};
  if (!dir.valid() || !GetFileInformationByHandleEx(dir.get(), FileBasicInfo, &info, sizeof info)) {
    return std::nullopt;
  }
  return info.ChangeTime.QuadPart;
}

}  // namespace

bool SetImmutable(const std::wstring& folder, bool on) {
  // Only Wine has this export; on Windows there is no host path to give.
  using ToUnix = char*(CDECL*)(const wchar_t*);
  const auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  const auto before = ChangeTime(folder);
  if (!to_unix || !before) return false;
  char* unix_path = to_unix(folder.c_str());
  if (!unix_path) return false;
  const std::wstring program = L"Z:\\usr\\bin\\chattr";
  std::wstring command = program + (on ? L" -f +i \"" : L" -f -i \"") + Wide(unix_path) + L"\"";
  HeapFree(GetProcessHeap(), 0, unix_path);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    return false;
  }
  Handle process(pi.hProcess), thread(pi.hThread);
  // Wine reports a host program ended before it has run; its effect is what counts.
  for (int i = 0; i < 500; ++i) {
    if (ChangeTime(folder) != before) return true;
    Sleep(10);
  }
  return false;
}

bool IsToolFile(std::string_view name) {
  if (name.size() < 4) return false;
  std::string ending(name.substr(name.size() - 4));
  for (char& c : ending) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ending == ".dvb" || ending == ".bmp" || ending == ".mns";
}

std::string ExpectedMenu(std::string_view template_bytes, unsigned code_page,
                         std::string_view folder) {
  const auto lead = [code_page](unsigned char b) {
    return code_page == 932 && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
  };
  // First cut the template into lines, then each line into characters; a placeholder is five
  // consecutive single-byte "x" characters.
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < template_bytes.size(); ++i) {
    if (template_bytes[i] != '\r') continue;
    lines.push_back(template_bytes.substr(start, i - start));
    if (i + 1 < template_bytes.size() && template_bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < template_bytes.size()) lines.push_back(template_bytes.substr(start));

  std::string menu;
  for (std::string_view line : lines) {
    std::vector<std::string_view> chars;
    for (std::size_t i = 0; i < line.size();) {
      const std::size_t n =
          lead(static_cast<unsigned char>(line[i])) && i + 1 < line.size() ? 2 : 1;
      chars.push_back(line.substr(i, n));
      i += n;
    }
    for (std::size_t c = 0; c < chars.size();) {
      std::size_t run = 0;
      while (run < 5 && c + run < chars.size() && chars[c + run] == "x") ++run;
      if (run == 5) {
        menu += folder;
        c += 5;
      } else {
        menu += chars[c];
        ++c;
      }
    }
    menu += "\r\n";
  }
  return menu;
}

}  // namespace e2e
