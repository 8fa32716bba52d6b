#include "setup/install/placement.h"

#include <memory>
#include <string>

namespace setup {

namespace {

constexpr std::string_view kCopyMark = ".~setup-";
// Names left by killed runs are removed before placing, so a few tries always find a free one.
constexpr int kCopyNames = 100;

// Clears the target's read-only mark for the length of a replacement, which Windows refuses
// otherwise, and puts it back unless the replacement was done.
class ReadOnlyTarget {
 public:
  ReadOnlyTarget(FileSystem& files, const std::string& path) : files_(files), path_(path) {}
  ReadOnlyTarget(const ReadOnlyTarget&) = delete;
  ReadOnlyTarget& operator=(const ReadOnlyTarget&) = delete;
  ~ReadOnlyTarget() {
    if (cleared_ && !done_) (void)files_.SetReadOnly(path_, true);
  }

  Status Clear() {
    const Entry entry = files_.Inspect(path_);
    if (entry.kind != EntryKind::kFile || !entry.read_only) return Status::Ok();
    cleared_ = true;
    return files_.SetReadOnly(path_, false);
  }
  void Done() { done_ = true; }
  bool cleared() const { return cleared_; }

 private:
  FileSystem& files_;
  const std::string& path_;
  bool cleared_ = false;
  bool done_ = false;
};

// What a rename is about to move, so that a rename reported as failed (a network share that lost
// its answer) can still count as done: the file at `to` must be that very file. A look at the
// source would not do: if it vanished (a virus scanner's quarantine) while the rename failed,
// the old file still stands at `to`, and removing the source on that word would lose the new one.
class Moving {
 public:
  Moving(FileSystem& files, const std::string& from) : files_(files) {
    if (!files.Track(from, track_).ok()) track_.reset();
  }
  bool Arrived(const std::string& to) const {
    FileId moved, there;
    std::unique_ptr<FileTrack> target;
    return track_ != nullptr && track_->Identify(moved).ok() && files_.Track(to, target).ok() &&
           target->Identify(there).ok() && there == moved;
  }

 private:
  FileSystem& files_;
  std::unique_ptr<FileTrack> track_;
};

// Renames, and only when that fails looks at what refused it, which costs the common case
// nothing: an existing target without `replace` (the installed copy stays), or a read-only one
// with it, whose mark is cleared for a second try and put back if that fails too.
Status RenameInto(FileSystem& files, const std::string& from, const std::string& to, bool replace) {
  const Moving moving(files, from);
  Status renamed = files.Rename(from, to, replace);
  ReadOnlyTarget mark(files, to);
  if (replace && renamed.code() == StatusCode::kAccessDenied && !moving.Arrived(to)) {
    if (Status s = mark.Clear(); !s.ok()) return s;
    if (mark.cleared()) renamed = files.Rename(from, to, replace);
  }
  if (!renamed.ok() && !moving.Arrived(to)) return renamed;
  mark.Done();
  return Status::Ok();
}

// Copies `from` beside `to` and renames the copy over it, so that `to` holds its old contents or
// the whole copy whatever fails.
Status CopyOver(FileSystem& files, const std::string& from, const std::string& to, bool replace) {
  for (int n = 1;; ++n) {
    TemporaryFile copy(files, to + std::string(kCopyMark) + std::to_string(n));
    const Status copied = copy.CopyFrom(from);
    if (copied.code() == StatusCode::kAlreadyExists && n < kCopyNames) continue;
    if (!copied.ok()) return copied;
    return copy.PutInPlace(to, replace);
  }
}

}  // namespace

TemporaryFile::~TemporaryFile() {
  file_.reset();  // first: Windows removes no file that is still open without sharing
  if (ours_) (void)files_.Remove(path_);
}

Status TemporaryFile::Create() {
  const Status opened = files_.OpenForWriting(path_, file_);
  ours_ = opened.code() != StatusCode::kAlreadyExists;  // a failed open may have left one
  return opened;
}

Status TemporaryFile::CopyFrom(const std::string& from) {
  const Status copied = files_.CopyToNewFile(from, path_);
  ours_ = copied.code() != StatusCode::kAlreadyExists;  // a failed copy may have left part of one
  return copied;
}

Status TemporaryFile::Append(std::string_view bytes) {
  return file_->Append(bytes);
}

Status TemporaryFile::PutInPlace(const std::string& target, bool replace) {
  if (file_ != nullptr) {
    const Status closed = file_->Close();
    file_.reset();
    if (!closed.ok()) return closed;
  }
  if (Status renamed = RenameInto(files_, path_, target, replace); !renamed.ok()) return renamed;
  ours_ = false;
  return Status::Ok();
}

bool IsTemporaryCopy(std::string_view name) {
  const std::size_t mark = name.rfind(kCopyMark);
  if (mark == std::string_view::npos || mark == 0) return false;
  const std::string_view digits = name.substr(mark + kCopyMark.size());
  return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
}

Status RemoveFile(FileSystem& files, const std::string& path) {
  Status removed = files.Remove(path);
  if (removed.ok() || removed.code() != StatusCode::kAccessDenied) return removed;
  ReadOnlyTarget mark(files, path);
  if (!mark.Clear().ok()) return removed;
  removed = files.Remove(path);
  if (removed.ok() || files.Inspect(path).kind == EntryKind::kNone) mark.Done();
  return removed;
}

Status PlaceFile(FileSystem& files, const std::string& from, const std::string& to, bool replace) {
  Status renamed = RenameInto(files, from, to, replace);
  if (renamed.code() != StatusCode::kNotSameVolume) return renamed;
  if (!replace) {
    // An installed copy to keep makes a copy of the new one pointless. One that cannot be
    // looked at is no copy to keep.
    if (const EntryKind there = files.Inspect(to).kind; there == EntryKind::kUnknown) {
      return Status::Error(StatusCode::kIoError, "place " + to + ": cannot look there");
    } else if (there != EntryKind::kNone) {
      return Status::Error(StatusCode::kAlreadyExists, "place " + to + ": already there");
    }
  }
  // Copied beside the target first, the target changes in one rename and never holds half a file.
  if (Status copied = CopyOver(files, from, to, replace); !copied.ok()) return copied;
  // Placed. A source that stays (a CD) costs nothing but the space it already took.
  (void)RemoveFile(files, from);
  return Status::Ok();
}

Status RemakeInPlace(FileSystem& files, const std::string& path) {
  return CopyOver(files, path, path, /*replace=*/true);
}

}  // namespace setup
