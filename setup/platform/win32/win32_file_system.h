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
class Win32FileSystem final : public FileSystem {
 public:
  // Plain files only: a folder fails with kAccessDenied, a device or pipe with kOther. Others
  // may read the file meanwhile, not write it.
  Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override;
  // Nobody else may open the file while it is open here. Not flushed to the disk: the bytes
  // are in the system's hands once the file is closed.
  Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) override;
  Status MakeFolder(const std::string& path) override;
  // Leaves out folders and files marked hidden or system. A symbolic link counts as a file
  // when it leads to one.
  Status ListFiles(const std::string& folder, std::vector<std::string>& names) override;
  bool FileExists(const std::string& path) override;
  // Files only: a folder fails with kAccessDenied.
  Status Remove(const std::string& path) override;
  // Within a volume a rename; across volumes a copy, then the source deleted. When the source
  // cannot be deleted the copy is deleted instead and the move fails.
  Status Move(const std::string& from, const std::string& to) override;
  // Within a volume one rename over the target. Across volumes a copy into a temporary file
  // beside the target, flushed, renamed over the target, then the source deleted.
  Status Replace(const std::string& from, const std::string& to) override;
  // By volume serial number and file index, so that links and any spelling of the path
  // compare equal.
  bool SameFolder(const std::string& a, const std::string& b) override;
};

}  // namespace setup::win32
