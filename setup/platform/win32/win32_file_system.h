#pragma once
// The install run's file operations on Windows, through the wide-character APIs only, so that
// names outside the ANSI code page survive.

#include <memory>
#include <string>
#include <vector>

#include "setup/platform/file_system.h"
#include "setup/platform/status.h"

namespace setup::win32 {

// Paths are UTF-8; the system resolves "." and ".." parts, '/' and doubled separators. Paths
// of any length work: long absolute ones ("X:\..." or "\\server\share\...") are passed in the
// "\\?\" form. A path holding a NUL fails with kOther. A file another program holds open
// without sharing fails with kSharingViolation.
class Win32FileSystem : public FileSystem {
 public:
  // Plain files only: a folder fails with kAccessDenied, a device or pipe with kOther.
  Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override;
  // Nobody else may open the file while it is open here.
  Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) override;
  // A 32-bit process on 64-bit Windows is not redirected from System32 to SysWOW64 here.
  Status OpenForAppending(const std::string& path, std::unique_ptr<WritableFile>& file) override;
  Status MakeFolder(const std::string& path) override;
  // Leaves out folders and files marked hidden or system. A symbolic link counts as a file
  // when it leads to one.
  Status ListFiles(const std::string& folder, std::vector<std::string>& names) override;
  Entry Inspect(const std::string& path) override;
  // Files only: a folder fails with kAccessDenied, a read-only file too.
  Status Remove(const std::string& path) override;
  Status Rename(const std::string& from, const std::string& to, bool replace) override;
  Status CopyToNewFile(const std::string& from, const std::string& to) override;
  Status SetReadOnly(const std::string& path, bool read_only) override;
  // By volume serial number and file index, so that links and any spelling of the path
  // compare equal.
  bool SameFolder(const std::string& a, const std::string& b) override;
  // An open handle, which asks for the volume serial number and file index only when asked.
  Status Track(const std::string& path, std::unique_ptr<FileTrack>& track) override;
  Status InheritPermissions(const std::string& path) override;
  // A handle on the folder, shared for reading and writing but not deleting, kept open.
  Status HoldFolder(const std::string& path, std::unique_ptr<FolderHold>& hold) override;
};

}  // namespace setup::win32
