#pragma once
// Putting a file in place, on one volume or across volumes, so that the target holds either its
// old contents or the whole new file whatever fails on the way.

#include <string>
#include <string_view>

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

// Removes the file, clearing a read-only mark first if that is what stands in the way.
Status RemoveFile(FileSystem& files, const std::string& path);

// Replaces the file by a copy of itself made beside it and renamed over it, which belongs to the
// caller and takes what the folder passes on, as any file made there does: the way to give a file
// the folder's permissions when only its owner, someone else, may change them. The file holds the
// same bytes whatever fails; a read-only mark does not come over.
Status RemakeInPlace(FileSystem& files, const std::string& path);

}  // namespace setup
