#include "setup/platform/win32/win32_handles.h"

#include <cstdint>
#include <cstring>

#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_status.h"

namespace setup::win32 {
namespace {

static_assert(FILE_ATTRIBUTE_DIRECTORY == windows_rules::kDirectory &&
              FILE_ATTRIBUTE_DEVICE == windows_rules::kDevice &&
              FILE_ATTRIBUTE_REPARSE_POINT == windows_rules::kReparsePoint);

// A named pipe planted where a file was expected learns no more of SYSTEM than its name: it may
// not act as SYSTEM (an open's default would let it).
constexpr DWORD kNoImpersonation = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

// FileIdInfo and FILE_ID_INFO came with Windows 8, after the headers this is built against;
// Windows 7 answers the class with ERROR_INVALID_PARAMETER.
constexpr auto kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);
struct FileIdInformation {
  ULONGLONG volume;
  BYTE file[16];
};

// What the handle says, and, unless it followed a link, what the path says of itself: Wine opens
// what a link leads to even without following, and only the path's attributes show the link
// there. The attributes are read without the volume's serial number, which costs a look at the
// volume each time.
bool ReadFacts(HANDLE handle, const std::wstring& path, bool followed,
               windows_rules::EntryFacts& facts) {
  FILE_STANDARD_INFO standard{};
  FILE_ATTRIBUTE_TAG_INFO tag{};
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard)) {
    return false;
  }
  // A file system that keeps no tags still has attributes; a reparse point among them then has
  // a tag nobody can read.
  const bool tagged = GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag);
  if (!tagged && !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic)) {
    return false;
  }
  const DWORD own = followed ? 0 : GetFileAttributesW(path.c_str());
  facts.attributes = (tagged ? tag.FileAttributes : basic.FileAttributes) |
                     (own == INVALID_FILE_ATTRIBUTES ? 0 : own);
  facts.tag.reset();
  if (tagged) facts.tag = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? tag.ReparseTag : 0;
  facts.names = standard.NumberOfLinks;
  return true;
}

Status NotPlain(const char* operation, const std::string& path, const char* why) {
  return Status::Error(StatusCode::kOther, std::string(operation) + " " + path + ": " + why);
}

// The file `held` is open on, whose identity is `id`, opened again through the filters, which a
// handle opened as the reparse point itself bypasses. By its number on its volume, not by a name
// someone could have pointed elsewhere meanwhile; only where the volume opens nothing by a 64-bit
// number (a share, or ReFS's wider ones), by `path`. A delete on close stays with the first
// handle, and only flags come along, no attributes.
UniqueHandle OpenThroughFilters(HANDLE held, const FileId& id, const std::wstring& path,
                                const Opening& how) {
  const DWORD flags = how.flags & 0xFFF00000 & ~static_cast<DWORD>(FILE_FLAG_DELETE_ON_CLOSE);
  if (id.file_high == 0) {
    FILE_ID_DESCRIPTOR number{sizeof number, FileIdType, {}};
    number.FileId.QuadPart = static_cast<LONGLONG>(id.file);
    HANDLE by_number = OpenFileById(held, &number, how.access, how.sharing, nullptr, flags);
    const DWORD error = GetLastError();
    if (by_number != INVALID_HANDLE_VALUE ||
        (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED &&
         error != ERROR_INVALID_FUNCTION)) {
      return UniqueHandle(by_number);
    }
  }
  return UniqueHandle(CreateFileW(path.c_str(), how.access, how.sharing, nullptr, OPEN_EXISTING,
                                  flags | kNoImpersonation, nullptr));
}

}  // namespace

Status OpenHandle(const std::string& path, const Opening& how, const char* operation,
                  UniqueHandle& handle, windows_rules::EntryFacts* facts) {
  std::wstring wide;
  if (Status status = SystemPath(path, wide); !status.ok()) return status;
  const DWORD flags =
      how.flags | kNoImpersonation | (how.follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  // Into a handle of its own first: assigning to `handle` may close another, and with it
  // GetLastError's answer.
  UniqueHandle opened(
      CreateFileW(wide.c_str(), how.access, how.sharing, nullptr, how.disposition, flags, nullptr));
  if (!opened.valid()) return LastErrorStatus(operation, path);
  handle = std::move(opened);
  if (facts == nullptr && !how.plain) return Status::Ok();
  windows_rules::EntryFacts read;
  if (!ReadFacts(handle.get(), wide, how.follow, read)) {
    const Status failed = LastErrorStatus(operation, path);
    handle = UniqueHandle();
    return failed;
  }
  if (facts != nullptr) *facts = read;
  if (!how.plain) return Status::Ok();
  const windows_rules::EntryMeaning meaning = windows_rules::Meaning(read);
  if (meaning.kind != EntryKind::kFile) {
    handle = UniqueHandle();
    return NotPlain(operation, path, "a link or a file of more names");
  }
  if (!meaning.served_by_filter) return Status::Ok();
  // Opened as itself, such a file bypasses the filter that serves its data: a file OneDrive keeps
  // online only would read as holes. Opened again through it, it must still be the same file.
  FileId first, second;
  UniqueHandle served;
  if (IdentifyHandle(handle.get(), first))
    served = OpenThroughFilters(handle.get(), first, wide, how);
  if (!served.valid()) {
    const Status failed = LastErrorStatus(operation, path);
    handle = UniqueHandle();
    return failed;
  }
  if (!IdentifyHandle(served.get(), second) || !(first == second)) {
    handle = UniqueHandle();
    return NotPlain(operation, path, "replaced while it was opened");
  }
  handle = std::move(served);
  return Status::Ok();
}

bool IdentifyHandle(HANDLE handle, FileId& id) {
  FileIdInformation wide{};
  if (GetFileInformationByHandleEx(handle, kFileIdInfo, &wide, sizeof wide)) {
    id.volume = wide.volume;
    std::memcpy(&id.file, wide.file, sizeof id.file);
    std::memcpy(&id.file_high, wide.file + sizeof id.file, sizeof id.file_high);
    return true;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return false;
  id = {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  return true;
}

std::optional<std::string> FinalName(HANDLE handle) {
  constexpr DWORD kHow = FILE_NAME_NORMALIZED | VOLUME_NAME_NT;
  std::wstring name(MAX_PATH, L'\0');
  for (int tries = 0; tries < 2; ++tries) {
    const DWORD length =
        GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()), kHow);
    if (length == 0) return std::nullopt;
    // Too short, it answers the size needed, counting the terminating NUL.
    if (length < name.size()) return Utf8(std::wstring_view(name.data(), length));
    name.resize(length);
  }
  return std::nullopt;
}

}  // namespace setup::win32
