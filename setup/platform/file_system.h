#pragma once
// File operations of the install run. Paths are UTF-8 in Windows form ("C:\dir\name"); each
// platform maps them to its own. Every operation is one call that completes or fails whole.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "setup/platform/status.h"

namespace setup {

class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads from the current position to the end; the bytes as stored, nothing converted.
  virtual Status ReadAll(std::string& bytes) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) = 0;
  // Creates or truncates the file and writes the bytes; fails unless all of them reached the
  // file and it was closed cleanly.
  virtual Status WriteWhole(const std::string& path, std::string_view bytes) = 0;
  // Fails with kAlreadyExists when there is anything at the path.
  virtual Status MakeFolder(const std::string& path) = 0;
  // Names (no folder part) of the folder's plain files, in the order the file system gives
  // them: no sub-folders, no hidden or system files.
  virtual Status ListFiles(const std::string& folder, std::vector<std::string>& names) = 0;
  // True when a plain file is at the path.
  virtual bool FileExists(const std::string& path) = 0;
  virtual Status Remove(const std::string& path) = 0;
  // Moves the file, to another volume too. Fails with kAlreadyExists, touching neither file,
  // when the target exists.
  virtual Status Move(const std::string& from, const std::string& to) = 0;
  // Puts the file at `to`, replacing what is there. Whatever happens, `to` holds either its old
  // contents or the whole new file; `from` is gone only on success.
  virtual Status Replace(const std::string& from, const std::string& to) = 0;
  // True when both paths name one existing folder, however spelled or linked.
  virtual bool SameFolder(const std::string& a, const std::string& b) = 0;
};

}  // namespace setup
