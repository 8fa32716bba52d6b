// Folders held in place for the length of a run, and folders compared by identity.

#include <string>
#include <utility>

#include "setup/platform/win32/wide.h"
#include "setup/platform/win32/win32_file_system.h"
#include "setup/platform/win32/win32_handles.h"
#include "setup/platform/win32/win32_status.h"

namespace setup::win32 {
namespace {

// Anchors are hidden, so that no listing of the program's counts them, and numbered by the
// process's holds, so that one folder may be held twice.
int g_holds = 0;
constexpr std::string_view kAnchorName = ".~setup-hold";

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

// Where the system cannot name a handle (a file system that keeps no such names), a volume that
// keeps no reparse points at all still vouches for the anchor: FAT32 and exFAT, say.
bool VolumeHasLinks(HANDLE folder) {
  DWORD flags = 0;
  return !GetVolumeInformationByHandleW(folder, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
         (flags & FILE_SUPPORTS_REPARSE_POINTS) != 0;
}

}  // namespace

Status Win32FileSystem::HoldFolder(const std::string& path, std::unique_ptr<FolderHold>& hold) {
  // The link itself, not where it leads. Without delete sharing nobody can rename or remove the
  // folder while the handle is open; listing access is what makes the sharing count. What it is
  // is read once it is held.
  UniqueHandle folder;
  windows_rules::EntryFacts facts;
  if (Status s = OpenHandle(path,
                            {.access = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                             .sharing = FILE_SHARE_READ | FILE_SHARE_WRITE,
                             .flags = FILE_FLAG_BACKUP_SEMANTICS},
                            "hold", folder, &facts);
      !s.ok()) {
    return s;
  }
  if (windows_rules::Meaning(facts).kind != EntryKind::kFolder) {
    return Status::Error(StatusCode::kOther, "hold " + path + ": a link or no folder");
  }
  // Fresh names only: removing a stale one by its path would follow whatever the folder had been
  // made meanwhile. Numbered with std::to_string: std::to_wstring brings in the wide printf.
  const bool root = path.ends_with('\\') || path.ends_with('/');
  UniqueHandle anchor;
  std::string leaf;
  Status made;
  for (int tries = 0; !anchor.valid() && tries < 100; ++tries) {
    leaf = std::string(kAnchorName) + std::to_string(++g_holds);
    made = OpenHandle(path + (root ? "" : "\\") + leaf,
                      {.access = DELETE | FILE_READ_ATTRIBUTES,
                       .sharing = 0,
                       .disposition = CREATE_NEW,
                       .flags = FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE},
                      "hold", anchor);
    // A stale anchor, or one delete-pending (refused access), is passed by.
    if (made.code() != StatusCode::kAlreadyExists && made.code() != StatusCode::kAccessDenied) {
      break;
    }
  }
  if (!anchor.valid()) return made;
  // Emptied and made a link before the anchor came, the folder would have sent it elsewhere.
  const std::optional<std::string> folder_name = FinalName(folder.get());
  const std::optional<std::string> anchor_name = FinalName(anchor.get());
  // The volume is asked only where a name is missing: that costs a look at it.
  const bool named = folder_name && anchor_name;
  FileId folder_id, anchor_id;
  const bool same_volume = !named && IdentifyHandle(folder.get(), folder_id) &&
                           IdentifyHandle(anchor.get(), anchor_id) &&
                           folder_id.volume == anchor_id.volume;
  if (!windows_rules::LandedIn(folder_name, anchor_name, leaf,
                               named || VolumeHasLinks(folder.get()), same_volume)) {
    return Status::Error(StatusCode::kOther, "hold " + path +
                                                 (named ? ": made a link meanwhile"
                                                        : ": where its file went cannot be told"));
  }
  hold = std::make_unique<Win32FolderHold>(std::move(folder), std::move(anchor));
  return Status::Ok();
}

bool Win32FileSystem::SameFolder(const std::string& a, const std::string& b) {
  const auto identify = [](const std::string& path, FileId& id) {
    UniqueHandle folder;
    windows_rules::EntryFacts facts;
    return OpenHandle(path, {.flags = FILE_FLAG_BACKUP_SEMANTICS, .follow = true}, "identify",
                      folder, &facts)
               .ok() &&
           (facts.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && IdentifyHandle(folder.get(), id);
  };
  FileId first, second;
  return identify(a, first) && identify(b, second) && first == second;
}

}  // namespace setup::win32
