#pragma once
// The install run's file operations on a POSIX system, with Windows drive letters mapped to
// folders.

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "setup/platform/file_system.h"
#include "setup/platform/status.h"

namespace setup {

class PosixFileSystem final : public FileSystem {
 public:
  // `drives` maps upper-case drive letters to the POSIX folders that stand for them.
  explicit PosixFileSystem(std::map<char, std::string> drives);

  // "X:\rest" and "x:/rest" become drives['X'] + "/" + rest, with every '\' turned into '/';
  // a path without a drive letter only has its separators turned. Fails with kNotFound for a
  // drive letter that is not mapped. Doubled separators and "." parts are left for the system
  // to resolve, so "E:\\tool" names what "E:\tool" does.
  Status MapPath(std::string_view windows_path, std::string& posix_path) const;

  // Plain files only: a folder fails with kAccessDenied, a device or pipe with kOther.
  Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override;
  // Others are not kept out, POSIX having no sharing modes.
  Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) override;
  Status MakeFolder(const std::string& path) override;
  // Hidden files are those whose names start with '.'. A symbolic link counts as a file when
  // it leads to one; a dangling link is left out.
  Status ListFiles(const std::string& folder, std::vector<std::string>& names) override;
  Entry Inspect(const std::string& path) override;
  Status Remove(const std::string& path) override;
  // Within one file system only: between two, rename(2) fails with EXDEV (kNotSameVolume).
  // Without `replace`, a hard link to the target and the source name removed, so that an
  // existing target is never overwritten.
  Status Rename(const std::string& from, const std::string& to, bool replace) override;
  Status CopyToNewFile(const std::string& from, const std::string& to) override;
  // Read-only is a file without write bits, as Wine shows it.
  Status SetReadOnly(const std::string& path, bool read_only) override;
  bool SameFolder(const std::string& a, const std::string& b) override;

 private:
  std::map<char, std::string> drives_;
};

}  // namespace setup
