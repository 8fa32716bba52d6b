#include "setup/platform/win32/win32_file_system.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <aclapi.h>

#include <algorithm>
#include <cstddef>
#include <span>
#include <string_view>
#include <utility>

#include "setup/platform/win32/unique_handle.h"
#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_path.h"
#include "setup/platform/win32/win32_status.h"

namespace setup::win32 {
namespace {

// Single reads and writes of many megabytes on network shares can fail with
// ERROR_NO_SYSTEM_RESOURCES; a megabyte at a time stays well clear of that.
constexpr DWORD kIoChunk = 1 << 20;

// What the path leads to, following links as opening it would. Only backup semantics open a
// folder; they need no privilege for reading attributes.
bool OpenedInfo(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
  UniqueHandle opened(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return opened.valid() && GetFileInformationByHandle(opened.get(), &info);
}

// Whether the file opened at `path` (without following a link) is a plain file of one name. Wine
// opens what a link leads to even so; the path's own attributes tell there. The handle's
// attributes and names are read without the volume's serial number, which costs a look at the
// volume each time.
bool IsPlainFile(HANDLE file, const std::wstring& path) {
  FILE_BASIC_INFO basic{};
  FILE_STANDARD_INFO standard{};
  return GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) &&
         GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) &&
         ((basic.FileAttributes | GetFileAttributesW(path.c_str())) &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
         standard.NumberOfLinks == 1;
}

Status NotPlain(const char* operation, const std::string& path) {
  return Status::Error(StatusCode::kOther,
                       std::string(operation) + " " + path + ": a link or a file of more names");
}

// Opens the file at the path itself, refusing a link or a file of more names. `access` must
// include FILE_READ_ATTRIBUTES, without which Windows answers no question about the file.
Status OpenPlain(const std::string& path, DWORD access, DWORD sharing, DWORD flags,
                 const char* operation, UniqueHandle& handle) {
  std::wstring wide;
  if (Status status = SystemPath(path, wide); !status.ok()) return status;
  handle = UniqueHandle(CreateFileW(wide.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                                    flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle.valid()) return LastErrorStatus(operation, path);
  if (!IsPlainFile(handle.get(), wide)) return handle = UniqueHandle(), NotPlain(operation, path);
  return Status::Ok();
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FolderIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  std::wstring wide;
  return SystemPath(path, wide).ok() && OpenedInfo(wide, info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Returns 0 or the GetLastError value of the failed write.
DWORD WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kIoChunk));
    DWORD put = 0;
    if (!WriteFile(file, bytes.data(), chunk, &put, nullptr)) return GetLastError();
    if (put == 0) return ERROR_WRITE_FAULT;  // no progress and no reason given: don't spin
    bytes.remove_prefix(put);
  }
  return 0;
}

// Copies the opened file into one this call creates at `to`, with the source's times, then
// flushes and closes it. Fails with ERROR_FILE_EXISTS, touching nothing, when anything is at `to`,
// a link included. Unlike CopyFileW it does not carry over a read-only mark (files from a CD have
// one), which would block the next replacement. Returns 0 or the error, and in `at_source` which
// file it concerns.
DWORD CopyInto(HANDLE in, const std::wstring& to, bool& at_source) {
  FILETIME created{}, accessed{}, written{};
  const bool have_times = GetFileTime(in, &created, &accessed, &written) != FALSE;
  at_source = false;
  UniqueHandle out(CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!out.valid()) return GetLastError();
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in, buffer, sizeof buffer, &got, nullptr)) {
      at_source = true;
      return GetLastError();
    }
    if (got == 0) break;
    if (const DWORD error = WriteAll(out.get(), std::string_view(buffer, got))) return error;
  }
  // A move keeps the file's times; where the target refuses, the copy is still whole.
  if (have_times) (void)SetFileTime(out.get(), nullptr, nullptr, &written);
  if (!FlushFileBuffers(out.get())) return GetLastError();
  if (!out.Close()) return GetLastError();
  return 0;
}

class Win32ReadableFile final : public ReadableFile {
 public:
  Win32ReadableFile(UniqueHandle file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}

  Status Read(std::span<char> buffer, std::size_t& got) override {
    const auto asked = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), kIoChunk));
    DWORD done = 0;
    if (!ReadFile(file_.get(), buffer.data(), asked, &done, nullptr)) {
      return LastErrorStatus("read", path_);
    }
    got = done;
    return Status::Ok();
  }

 private:
  UniqueHandle file_;
  std::string path_;
};

class Win32WritableFile final : public WritableFile {
 public:
  Win32WritableFile(UniqueHandle file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}

  Status Append(std::string_view bytes) override {
    if (error_ == 0) error_ = WriteAll(file_.get(), bytes);
    if (error_ != 0) return StatusFromWin32(error_, "write", path_);
    return Status::Ok();
  }

  Status Close() override {
    if (error_ == 0 && !FlushFileBuffers(file_.get())) error_ = GetLastError();
    if (!file_.Close() && error_ == 0) error_ = GetLastError();
    if (error_ != 0) return StatusFromWin32(error_, "write", path_);
    return Status::Ok();
  }

 private:
  UniqueHandle file_;
  std::string path_;
  DWORD error_ = 0;  // the first failure: bytes were lost, so Close must fail too
};

}  // namespace

Status Win32FileSystem::OpenForReading(const std::string& path,
                                       std::unique_ptr<ReadableFile>& file) {
  UniqueHandle handle;
  if (Status s =
          OpenPlain(path, GENERIC_READ, kShareAll, FILE_FLAG_SEQUENTIAL_SCAN, "open", handle);
      !s.ok()) {
    return s;
  }
  if (GetFileType(handle.get()) != FILE_TYPE_DISK) {
    return Status::Error(StatusCode::kOther, "open " + path + ": not a file");
  }
  file = std::make_unique<Win32ReadableFile>(std::move(handle), path);
  return Status::Ok();
}

Status Win32FileSystem::OpenForWriting(const std::string& path,
                                       std::unique_ptr<WritableFile>& file) {
  UniqueHandle handle;
  Status s = Open(path, GENERIC_WRITE, 0, CREATE_NEW,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, "open for writing", handle);
  if (s.ok()) file = std::make_unique<Win32WritableFile>(std::move(handle), path);
  return s;
}

Status Win32FileSystem::OpenForAppending(const std::string& path,
                                         std::unique_ptr<WritableFile>& file) {
  std::wstring wide;
  if (Status status = SystemPath(path, wide); !status.ok()) return status;
  UniqueHandle handle;
  DWORD error = 0;
  {
    // Around the open alone: what else runs meanwhile may load a DLL.
    const NoSystem32Redirection as_written;
    // Append access alone: every write lands at the end, whoever else appends.
    handle = UniqueHandle(CreateFileW(
        wide.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    error = GetLastError();
    // Nothing is written before this: a link would send SYSTEM's lines wherever it leads.
    if (handle.valid() && !IsPlainFile(handle.get(), wide)) return NotPlain("log", path);
  }
  if (!handle.valid()) return StatusFromWin32(error, "open for appending", path);
  file = std::make_unique<Win32WritableFile>(std::move(handle), path);
  return Status::Ok();
}

Status Win32FileSystem::MakeFolder(const std::string& path) {
  std::wstring wide;
  if (Status status = SystemPath(path, wide); !status.ok()) return status;
  if (!CreateDirectoryW(wide.c_str(), nullptr)) return LastErrorStatus("make folder", path);
  return Status::Ok();
}

Status Win32FileSystem::ListFiles(const std::string& folder, std::vector<std::string>& names) {
  std::wstring wide;
  if (Status status = SystemPath(folder, wide); !status.ok()) return status;
  if (wide.empty() || !IsSeparator(wide.back())) wide.push_back(L'\\');
  const std::size_t folder_length = wide.size();
  wide.push_back(L'*');

  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(FindFirstFileExW(wide.c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr,
                                         FIND_FIRST_EX_LARGE_FETCH));
  if (!find.valid()) {
    const DWORD error = GetLastError();
    // Only a root folder lacks "." and "..", so only an empty root matches nothing at all.
    if (error == ERROR_FILE_NOT_FOUND && IsFolder(wide.substr(0, folder_length))) {
      names.clear();
      return Status::Ok();
    }
    return StatusFromWin32(error, "list", folder);
  }
  constexpr DWORD kNotPlain =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  std::vector<std::string> found;
  do {
    if ((data.dwFileAttributes & kNotPlain) != 0) continue;
    found.push_back(Utf8(data.cFileName));
  } while (FindNextFileW(find.get(), &data));
  if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) {
    return StatusFromWin32(error, "list", folder);
  }
  names = std::move(found);
  return Status::Ok();
}

Entry Win32FileSystem::Inspect(const std::string& path) {
  std::wstring wide;
  if (!SystemPath(path, wide).ok()) return {EntryKind::kUnknown};
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return {missing ? EntryKind::kNone : EntryKind::kUnknown};
  }
  const bool read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return {EntryKind::kLink, read_only};
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {EntryKind::kFolder, read_only};
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return {EntryKind::kOther, read_only};
  // Attribute access alone takes no part in sharing, so the look disturbs nobody.
  FILE_STANDARD_INFO standard{};
  const UniqueHandle file(CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.valid() ||
      !GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof standard)) {
    return {EntryKind::kUnknown, read_only};
  }
  return {standard.NumberOfLinks == 1 ? EntryKind::kFile : EntryKind::kLink, read_only};
}

Status Win32FileSystem::Remove(const std::string& path) {
  std::wstring wide;
  if (Status status = SystemPath(path, wide); !status.ok()) return status;
  if (!DeleteFileW(wide.c_str())) return LastErrorStatus("remove", path);
  return Status::Ok();
}

Status Win32FileSystem::Rename(const std::string& from, const std::string& to, bool replace) {
  std::wstring source;
  std::wstring target;
  if (Status status = SystemPath(from, source); !status.ok()) return status;
  if (Status status = SystemPath(to, target); !status.ok()) return status;
  // Without MOVEFILE_COPY_ALLOWED a move between volumes fails rather than copying over the
  // target in place, where a failure half way would cost the old file.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!MoveFileExW(source.c_str(), target.c_str(), flags)) {
    return LastErrorStatus("rename", from + " -> " + to);
  }
  return Status::Ok();
}

Status Win32FileSystem::CopyToNewFile(const std::string& from, const std::string& to) {
  UniqueHandle in;
  if (Status s =
          OpenPlain(from, GENERIC_READ, FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN, "copy", in);
      !s.ok()) {
    return s;
  }
  std::wstring target;
  if (Status status = SystemPath(to, target); !status.ok()) return status;
  bool at_source = true;
  if (const DWORD error = CopyInto(in.get(), target, at_source)) {
    return StatusFromWin32(error, "copy", at_source ? from : to);
  }
  return Status::Ok();
}

Status Win32FileSystem::SetReadOnly(const std::string& path, bool read_only) {
  std::wstring wide;
  if (Status status = SystemPath(path, wide); !status.ok()) return status;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastErrorStatus("set attributes", path);
  constexpr DWORD kSettable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  DWORD wanted = attributes & kSettable & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (read_only) wanted |= FILE_ATTRIBUTE_READONLY;
  // FILE_ATTRIBUTE_NORMAL stands for none of them.
  if (!SetFileAttributesW(wide.c_str(), wanted == 0 ? FILE_ATTRIBUTE_NORMAL : wanted)) {
    return LastErrorStatus("set attributes", path);
  }
  return Status::Ok();
}

namespace {

class Win32FileTrack final : public FileTrack {
 public:
  Win32FileTrack(UniqueHandle file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}
  Status Identify(FileId& id) override {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file_.get(), &info)) return LastErrorStatus("identify", path_);
    id = {info.dwVolumeSerialNumber,
          (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    return Status::Ok();
  }

 private:
  UniqueHandle file_;
  std::string path_;
};

}  // namespace

Status Win32FileSystem::Track(const std::string& path, std::unique_ptr<FileTrack>& track) {
  UniqueHandle file;
  // Attribute access alone takes no part in sharing: renames and removals go on as before. The
  // identity is read only when asked, which is rare: reading it costs a look at the volume.
  Status s = Open(path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, "track", file);
  if (s.ok()) track = std::make_unique<Win32FileTrack>(std::move(file), path);
  return s;
}

Status Win32FileSystem::InheritPermissions(const std::string& path) {
  // Through a handle to the file itself: by path, the system would re-permission whatever a link
  // there leads to.
  UniqueHandle file;
  if (Status s = OpenPlain(path, READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES, kShareAll, 0,
                           "inherit permissions", file);
      !s.ok()) {
    return s;
  }
  // An empty list that is not protected: the system fills it with what the folder passes on.
  ACL empty{};
  if (!InitializeAcl(&empty, sizeof empty, ACL_REVISION)) return LastErrorStatus("inherit", path);
  const DWORD error = SetSecurityInfo(
      file.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
      nullptr, nullptr, &empty, nullptr);
  // A volume without permissions (FAT) lets everyone read the file already.
  if (error != ERROR_SUCCESS && error != ERROR_NOT_SUPPORTED) {
    return StatusFromWin32(error, "inherit permissions", path);
  }
  return Status::Ok();
}

namespace {

// Anchors are hidden, so that no listing of the program's counts them, and numbered by the
// process's holds, so that one folder may be held twice.
int g_holds = 0;

// The anchor holds the folder's place as a file in it: the system sets no junction or link on a
// folder that is not empty, and this file nobody else may open, rename or remove. It goes with
// the hold, or with the process however that ends.
class Win32FolderHold final : public FolderHold {
 public:
  Win32FolderHold(UniqueHandle folder, UniqueHandle anchor)
      : folder_(std::move(folder)), anchor_(std::move(anchor)) {}

 private:
  UniqueHandle folder_;
  UniqueHandle anchor_;
};

// Whether the opened folder itself, not whatever its path led to meanwhile, holds the file.
bool Holds(HANDLE folder, HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return false;
  const auto id =
      static_cast<LONGLONG>((std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
  alignas(LONGLONG) char entries[16 * 1024];
  for (auto how = FileIdBothDirectoryRestartInfo;
       GetFileInformationByHandleEx(folder, how, entries, sizeof entries);
       how = FileIdBothDirectoryInfo) {
    for (std::size_t at = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(entries + at);
      if (entry->FileId.QuadPart == id) return true;
      if (entry->NextEntryOffset == 0) break;
      at += entry->NextEntryOffset;
    }
  }
  return false;
}

}  // namespace

Status Win32FileSystem::HoldFolder(const std::string& path, std::unique_ptr<FolderHold>& hold) {
  std::wstring wide;
  if (Status status = SystemPath(path, wide); !status.ok()) return status;
  // The link itself, not where it leads. Without delete sharing nobody can rename or remove the
  // folder while the handle is open; listing access is what makes the sharing count.
  UniqueHandle folder(CreateFileW(
      wide.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  FILE_BASIC_INFO info{};
  if (!folder.valid() ||
      !GetFileInformationByHandleEx(folder.get(), FileBasicInfo, &info, sizeof info)) {
    return LastErrorStatus("hold", path);
  }
  // Wine opens what a link leads to even so; the path's own attributes, read once the folder is
  // held, tell there.
  const DWORD attributes = info.FileAttributes | GetFileAttributesW(wide.c_str());
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
      FILE_ATTRIBUTE_DIRECTORY) {
    return Status::Error(StatusCode::kOther, "hold " + path + ": a link or no folder");
  }
  // Fresh names only: removing a stale one by its path would follow whatever the folder had been
  // made meanwhile. Numbered with std::to_string: std::to_wstring brings in the wide printf.
  UniqueHandle anchor;
  for (int tries = 0; !anchor.valid() && tries < 100; ++tries) {
    std::wstring anchor_path;
    const bool root = path.ends_with('\\') || path.ends_with('/');
    if (Status status = SystemPath(
            path + (root ? "" : "\\") + ".~setup-hold" + std::to_string(++g_holds), anchor_path);
        !status.ok()) {
      return status;
    }
    anchor = UniqueHandle(CreateFileW(
        anchor_path.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    // A stale anchor, or one delete-pending (refused access), is passed by.
    if (const DWORD error = GetLastError();
        !anchor.valid() && error != ERROR_FILE_EXISTS && error != ERROR_ACCESS_DENIED) {
      break;
    }
  }
  if (!anchor.valid()) return LastErrorStatus("hold", path);
  // Emptied and made a link before the anchor came, the folder would have sent it elsewhere.
  if (!Holds(folder.get(), anchor.get())) {
    return Status::Error(StatusCode::kOther, "hold " + path + ": made a link meanwhile");
  }
  hold = std::make_unique<Win32FolderHold>(std::move(folder), std::move(anchor));
  return Status::Ok();
}

bool Win32FileSystem::SameFolder(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return FolderIdentity(a, first) && FolderIdentity(b, second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace setup::win32
