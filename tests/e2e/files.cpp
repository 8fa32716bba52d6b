// Files and folders: read, written, laid out for a scenario and read back to be compared.

#include <fstream>

#include "setup/platform/win32/unique_handle.h"

#include "tests/e2e/driver.h"
// After windows.h, which they build on.
#include <aclapi.h>
#include <sddl.h>

namespace e2e {
std::optional<string> Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::optional(string{std::istreambuf_iterator<char>(in), {}}) : std::nullopt;
}

bool Write(const fs::path& path, const string& bytes) {
  return bool(std::ofstream(path, std::ios::binary) << bytes);
}

// A folder's plain files with their bytes; nothing when it is missing.
std::optional<Files> Folder(const fs::path& folder) {
  std::error_code e;
  Files files;
  for (const auto& f : fs::directory_iterator(folder, e))
    if (f.is_regular_file(e))
      files[Utf8(f.path().filename().wstring())] = Read(f.path()).value_or("?");
  return fs::is_directory(folder, e) ? std::optional(files) : std::nullopt;
}

// A folder holding just `files`, or none without them; a drive's root is only emptied.
bool Lay(const fs::path& folder, const Files& files) {
  std::error_code e;
  for (const auto& f : fs::directory_iterator(folder, e)) {
    SetFileAttributesW(f.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    fs::remove_all(f.path(), e);
  }
  const bool root = !folder.has_filename();
  if (!root) fs::remove(folder, e);
  // An empty root cannot be iterated on Windows (it lacks "." and ".."): Folder takes that.
  bool ok = root ? Folder(folder).value_or(Files{{"", ""}}).empty()
                 : !fs::exists(folder, e) && (files.empty() || fs::create_directory(folder, e));
  for (const auto& [name, bytes] : files) ok = ok && Write(folder / name, bytes);
  return ok;
}

// A file or a folder with all it holds, read-only or deeper than MAX_PATH; a link goes itself,
// never what it leads to. The path is absolute; true when nothing is left.
bool Remove(const fs::path& path) {
  const std::wstring at = L"\\\\?\\" + fs::path(path).make_preferred().wstring();
  const DWORD attributes = GetFileAttributesW(at.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
  SetFileAttributesW(at.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(at.c_str());
  WIN32_FIND_DATAW found;
  const bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
  const setup::win32::UniqueFindHandle each(link ? INVALID_HANDLE_VALUE
                                                 : FindFirstFileW((at + L"\\*").c_str(), &found));
  for (bool more = each.valid(); more; more = FindNextFileW(each.get(), &found))
    if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L".."))
      Remove(path / found.cFileName);
  return RemoveDirectoryW(at.c_str());
}

bool Exists(const fs::path& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsKind(const string& name, const char* ending) {
  return name.size() >= 4 && lstrcmpiA(name.c_str() + name.size() - 4, ending) == 0;
}

bool IsTool(const string& name) {
  return IsKind(name, ".dvb") || IsKind(name, ".bmp") || IsKind(name, ".mns");
}

// A reparse point, or a file of more names.
bool IsLink(const fs::path& path) {
  const Handle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, 7, 0, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, 0));
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(file.get(), &info) &&
         ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks > 1);
}

// Another name of someone else's file, C:\elsewhere\victim: Wine shows no symbolic link to a file
// as one, but a hard link it does, as a file of two names.
bool SecondName(const fs::path& at) {
  return Lay(kElsewhere, {{"victim", kVictims}}) &&
         CreateHardLinkW(at.c_str(), kVictim.c_str(), nullptr) && IsLink(at);
}

// The file's DACL in the security descriptor language ("D:P(A;;FA;;;OW)"); "none" where it cannot
// be read. Wine keeps none: it shows one made from the file's mode bits.
string Dacl(const fs::path& path) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  wchar_t* text = nullptr;
  GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                        nullptr, nullptr, &sd);
  ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1,
                                                       DACL_SECURITY_INFORMATION, &text, nullptr);
  const string dacl = text != nullptr ? Utf8(text) : "none";
  LocalFree(text);
  LocalFree(sd);
  return dacl;
}

bool SetDacl(const fs::path& path, const wchar_t* dacl) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  const bool set =
      ConvertStringSecurityDescriptorToSecurityDescriptorW(dacl, SDDL_REVISION_1, &sd, nullptr) &&
      SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, sd);
  LocalFree(sd);
  return set;
}

// The reparse point's tag, as a listing gives it; 0 for none.
DWORD ReparseTag(const fs::path& path) {
  WIN32_FIND_DATAW found{};
  const setup::win32::UniqueFindHandle find(FindFirstFileW(path.c_str(), &found));
  return find.valid() && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? found.dwReserved0
                                                                                 : 0;
}

}  // namespace e2e
