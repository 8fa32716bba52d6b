#include "setup/platform/win32/win32_file_system.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <aclapi.h>

#include <utility>

#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_handles.h"
#include "setup/platform/win32/win32_open_files.h"
#include "setup/platform/win32/win32_path.h"
#include "setup/platform/win32/win32_status.h"

namespace setup::win32 {
namespace {

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class Win32FileTrack final : public FileTrack {
 public:
  Win32FileTrack(UniqueHandle file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}
  Status Identify(FileId& id) override {
    if (!IdentifyHandle(file_.get(), id)) return LastErrorStatus("identify", path_);
    return Status::Ok();
  }

 private:
  UniqueHandle file_;
  std::string path_;
};

}  // namespace

Status Win32FileSystem::OpenForReading(const std::string& path,
                                       std::unique_ptr<ReadableFile>& file) {
  UniqueHandle handle;
  if (Status s = OpenHandle(
          path, {.access = GENERIC_READ, .flags = FILE_FLAG_SEQUENTIAL_SCAN, .plain = true}, "open",
          handle);
      !s.ok()) {
    return s;
  }
  if (GetFileType(handle.get()) != FILE_TYPE_DISK) {
    return Status::Error(StatusCode::kOther, "open " + path + ": not a file");
  }
  file = ReadableOver(std::move(handle), path);
  return Status::Ok();
}

Status Win32FileSystem::OpenForWriting(const std::string& path,
                                       std::unique_ptr<WritableFile>& file) {
  UniqueHandle handle;
  Status s = OpenHandle(path,
                        {.access = GENERIC_WRITE,
                         .sharing = 0,
                         .disposition = CREATE_NEW,
                         .flags = FILE_ATTRIBUTE_NORMAL},
                        "open for writing", handle);
  if (s.ok()) file = WritableOver(std::move(handle), path);
  return s;
}

Status Win32FileSystem::OpenForAppending(const std::string& path,
                                         std::unique_ptr<WritableFile>& file) {
  UniqueHandle handle;
  Status s;
  {
    // Around the open alone: what else runs meanwhile may load a DLL.
    const NoSystem32Redirection as_written;
    // Append access alone: every write lands at the end, whoever else appends. Nothing is written
    // before it is known to be a plain file: a link would send SYSTEM's lines wherever it leads.
    s = OpenHandle(path,
                   {.access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                    .sharing = FILE_SHARE_READ | FILE_SHARE_WRITE,
                    .disposition = OPEN_ALWAYS,
                    .flags = FILE_ATTRIBUTE_NORMAL,
                    .plain = true},
                   "open for appending", handle);
  }
  if (s.ok()) file = WritableOver(std::move(handle), path);
  return s;
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
  // Attribute access alone takes no part in sharing, so the look disturbs nobody; backup semantics
  // open a folder too.
  UniqueHandle handle;
  windows_rules::EntryFacts facts;
  if (const Status s =
          OpenHandle(path, {.flags = FILE_FLAG_BACKUP_SEMANTICS}, "inspect", handle, &facts);
      !s.ok()) {
    return {s.code() == StatusCode::kNotFound ? EntryKind::kNone : EntryKind::kUnknown};
  }
  return {windows_rules::Meaning(facts).kind, (facts.attributes & FILE_ATTRIBUTE_READONLY) != 0};
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
  if (Status s = OpenHandle(from,
                            {.access = GENERIC_READ,
                             .sharing = FILE_SHARE_READ,
                             .flags = FILE_FLAG_SEQUENTIAL_SCAN,
                             .plain = true},
                            "copy", in);
      !s.ok()) {
    return s;
  }
  return CopyInto(in.get(), from, to);
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

Status Win32FileSystem::Track(const std::string& path, std::unique_ptr<FileTrack>& track) {
  UniqueHandle file;
  // Attribute access alone takes no part in sharing: renames and removals go on as before. The
  // identity is read only when asked, which is rare: reading it costs a look at the volume.
  Status s = OpenHandle(path, {.flags = FILE_FLAG_BACKUP_SEMANTICS}, "track", file);
  if (s.ok()) track = std::make_unique<Win32FileTrack>(std::move(file), path);
  return s;
}

Status Win32FileSystem::InheritPermissions(const std::string& path) {
  // Through a handle to the file itself: by path, the system would re-permission whatever a link
  // there leads to.
  UniqueHandle file;
  if (Status s = OpenHandle(
          path, {.access = READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES, .plain = true},
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

}  // namespace setup::win32
