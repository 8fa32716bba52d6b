#pragma once
// Putting a file in place, on one volume or across volumes, so that the target holds either its
// old contents or the whole new file whatever fails on the way.

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "setup/platform/file_system.h"

namespace setup {

// Puts the file `from` at `to`. Without `replace` it fails with kAlreadyExists, touching
// neither file, when `to` exists. With it, whatever is at `to` is replaced; a read-only mark
// there is cleared just before and put back if the replacement fails. Between volumes the file
// is copied beside `to` and renamed over it, then `from` is removed, its read-only mark cleared
// first; when `from` cannot be removed (read-only media) the file still counts as placed and
// `from` stays. Succeeds exactly when `to` holds the new file.
Status PlaceFile(FileSystem& files, const std::string& from, const std::string& to, bool replace);

// True for the names PlaceFile gives its copies beside a target: the target's name, ".~setup-"
// and digits. A killed run may leave one behind.
bool IsTemporaryCopy(std::string_view name);

// A file made under a temporary name and then renamed into place, as the menu file and copies
// across volumes are, so that their targets change in one step. It is removed when this goes
// unless it was put in place, or its name was taken when it was to be made: what stood there
// then is never written through nor removed.
class TemporaryFile {
 public:
  TemporaryFile(FileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile();

  // Makes it as a new file to append to, or as a copy of `from`; fails with kAlreadyExists when
  // anything stands at its name (a link planted there included), which is then left alone.
  Status Create();
  Status CopyFrom(const std::string& from);
  Status Append(std::string_view bytes);
  // Closes it if it is open, with its data on the disk, then renames it over `target` (which it
  // replaces only with `replace`); done, it is no longer this one's to remove.
  Status PutInPlace(const std::string& target, bool replace);

 private:
  FileSystem& files_;
  std::string path_;
  std::unique_ptr<WritableFile> file_;
  bool ours_ = false;  // it may exist, made by this
};

// Removes the file, clearing a read-only mark first if that is what stands in the way.
Status RemoveFile(FileSystem& files, const std::string& path);

// Replaces the file by a copy of itself made beside it and renamed over it, which belongs to the
// caller and takes what the folder passes on, as any file made there does: the way to give a file
// the folder's permissions when only its owner, someone else, may change them. The file holds the
// same bytes whatever fails; a read-only mark does not come over.
Status RemakeInPlace(FileSystem& files, const std::string& path);

}  // namespace setup
