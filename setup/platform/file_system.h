#pragma once
// File operations of the install run. Paths are UTF-8 in Windows form ("C:\dir\name"); each
// platform maps them to its own. Every operation completes or fails whole; a file written in
// several Appends is whole only once its Close has succeeded.

#include <cstddef>
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
  // Fails unless every appended byte reached the file and it was closed cleanly, a failed
  // Append included. Nothing may be called after it but the destructor.
  virtual Status Close() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) = 0;
  // Creates the file, or empties an existing one, for appending. Where the system allows it,
  // nobody else may open the file until it is closed or abandoned.
  virtual Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) = 0;
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
