#pragma once
// File operations of the install run, as small primitives: how files are put in place is the
// program's business, over these. Paths are UTF-8 in Windows form ("C:\dir\name"); each platform
// maps them to its own. A failed operation changes nothing unless it says otherwise. The run may
// be SYSTEM's in a folder any user can write to, so no operation follows a link (symbolic link,
// junction) at the end of a path, nor reads, writes or re-permissions a file of more than one
// name (a hard link): where the contract says so, it fails with kOther instead. A file or folder
// that a filter serves (OneDrive's, a compressed file) is no link: it is read through the filter.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "setup/platform/status.h"

namespace setup {

class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads the next bytes, as stored, into the front of `buffer` (not empty) and sets `got` to
  // their number: up to buffer.size(), maybe fewer. `got` is 0 only at the end of the file.
  virtual Status Read(std::span<char> buffer, std::size_t& got) = 0;
};

class WritableFile {
 public:
  // Without a successful Close the file is abandoned, holding any part of what was appended;
  // whoever opened it removes it.
  virtual ~WritableFile() = default;
  // Adds the bytes at the end of the file. They may wait in the system's buffers until Close.
  virtual Status Append(std::string_view bytes) = 0;
  // Succeeds only when every appended byte is on the disk, so that a file renamed into place
  // afterwards survives a power loss whole, and the file closed cleanly. A failed Append makes
  // it fail too. Nothing may be called after it but the destructor.
  virtual Status Close() = 0;
};

enum class EntryKind : std::uint8_t {
  kNone,     // nothing there
  kUnknown,  // it cannot be looked at: whether anything is there is not known
  kFile,     // a plain file of one name, whatever filter serves its data
  kFolder,   // a plain folder, whatever filter serves it
  // Not a plain file of one name, nor a plain folder: a link (symbolic link, junction, any reparse
  // point that leads to another name), whatever it leads to, or a file of more names (a hard
  // link). Nothing reads, writes, moves or re-permissions it.
  kNotPlain,
  kOther,  // a device, pipe or the like
};

struct Entry {
  EntryKind kind = EntryKind::kNone;
  bool read_only = false;  // the read-only attribute
};

// Which file a path names: its volume and its number there, whatever the path's spelling. Some
// file systems (ReFS) number files in 128 bits: `file_high` holds the upper half.
struct FileId {
  std::uint64_t volume = 0, file = 0, file_high = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};

// A file followed wherever it is renamed to, without keeping anyone from renaming, writing or
// removing it.
class FileTrack {
 public:
  virtual ~FileTrack() = default;
  // Which file it follows, now: the same wherever it has been renamed to.
  virtual Status Identify(FileId& id) = 0;
};

// While it lives, the folder it holds can be neither renamed, nor removed, nor replaced, nor made a
// link in place, so that a path to it leads where it did when it was held as long as the folders
// above it do: a junction among those, which its owner may point elsewhere, is not held.
class FolderHold {
 public:
  virtual ~FolderHold() = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Others may go on reading, writing and deleting the file meanwhile, as an editor that holds
  // it open expects. Refuses a link or a file of more names.
  virtual Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) = 0;
  // Creates a new file for appending; fails with kAlreadyExists when anything is at the path, a
  // link included. Where the system allows it, nobody else may open the file until it is closed
  // or abandoned.
  virtual Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) = 0;
  // Opens the file for adding at its end, making it if it is missing, at the path as written
  // (no system folder is redirected). Each Append reaches the system at once, and others may
  // read and append meanwhile. Refuses a link or a file of more names.
  virtual Status OpenForAppending(const std::string& path, std::unique_ptr<WritableFile>& file) = 0;
  // Fails with kAlreadyExists when there is anything at the path.
  virtual Status MakeFolder(const std::string& path) = 0;
  // Names (no folder part) of the folder's plain files and of its links but those to folders, in
  // the order the file system gives them: no sub-folders, no hidden or system files.
  virtual Status ListFiles(const std::string& folder, std::vector<std::string>& names) = 0;
  // What is at the path itself: a link at its end is reported, not followed.
  virtual Entry Inspect(const std::string& path) = 0;
  // Removes the file at the path itself (a link, not what it leads to); refuses a folder and a
  // read-only file with kAccessDenied.
  virtual Status Remove(const std::string& path) = 0;
  // Renames in one step within a volume. Fails with kNotSameVolume between volumes. Without
  // `replace` it fails with kAlreadyExists when the target exists; with it the target is
  // replaced, which Windows refuses for a read-only target.
  virtual Status Rename(const std::string& from, const std::string& to, bool replace) = 0;
  // Copies the file into a new file at `to`, which must not exist (kAlreadyExists), with its
  // data on the disk and the source's times but without its read-only attribute. A failure may
  // leave part of the copy at `to`. Refuses a source that is a link or a file of more names.
  virtual Status CopyToNewFile(const std::string& from, const std::string& to) = 0;
  // Sets or clears the read-only attribute, keeping the others.
  virtual Status SetReadOnly(const std::string& path, bool read_only) = 0;
  // True when both paths name one existing folder, however spelled or linked.
  virtual bool SameFolder(const std::string& a, const std::string& b) = 0;
  // Follows what is at the path itself (a link at its end is not followed) until `track` goes.
  virtual Status Track(const std::string& path, std::unique_ptr<FileTrack>& track) = 0;
  // Gives the file the permissions its folder passes on to files made in it, dropping those it
  // brought along, as a copy made there would have. Succeeds where the volume keeps none. Refuses
  // a link or a file of more names.
  virtual Status InheritPermissions(const std::string& path) = 0;
  // Holds the folder at the path until `hold` goes. Fails, holding nothing, unless a real folder
  // (no link) is there.
  virtual Status HoldFolder(const std::string& path, std::unique_ptr<FolderHold>& hold) = 0;
};

}  // namespace setup
