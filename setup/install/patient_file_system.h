#pragma once
// Virus scanners, search indexers and sync clients open a freshly written file for a moment
// without sharing it: a rename, copy, removal or creation that meets such a lock is tried again
// after short pauses instead of failing the file.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "setup/platform/file_system.h"
#include "setup/platform/system.h"

namespace setup {

// Passes every call to `inner`. Rename, CopyToNewFile, Remove, OpenForWriting and HoldFolder
// that fail with a sharing violation, or with access denied on a file that is not read-only, are
// tried again after pauses of 50 ms growing to 500 ms, for about 2 s each; all of them together
// wait no longer than kMaxWaitMs, after which they fail at once. The pauses are the system's
// Wait: the screens answer what is sent to them, and take no input, meanwhile.
class PatientFileSystem final : public FileSystem {
 public:
  static constexpr std::uint32_t kMaxWaitMs = 10'000;

  PatientFileSystem(FileSystem& inner, System& system) : inner_(inner), system_(system) {}

  Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    return inner_.OpenForReading(path, file);
  }
  Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) override;
  Status OpenForAppending(const std::string& path, std::unique_ptr<WritableFile>& file) override {
    return inner_.OpenForAppending(path, file);
  }
  Status MakeFolder(const std::string& path) override { return inner_.MakeFolder(path); }
  Status ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    return inner_.ListFiles(folder, names);
  }
  Entry Inspect(const std::string& path) override { return inner_.Inspect(path); }
  Status Remove(const std::string& path) override;
  Status Rename(const std::string& from, const std::string& to, bool replace) override;
  Status CopyToNewFile(const std::string& from, const std::string& to) override;
  Status SetReadOnly(const std::string& path, bool read_only) override {
    return inner_.SetReadOnly(path, read_only);
  }
  bool SameFolder(const std::string& a, const std::string& b) override {
    return inner_.SameFolder(a, b);
  }
  Status Track(const std::string& path, std::unique_ptr<FileTrack>& track) override {
    return inner_.Track(path, track);
  }
  Status InheritPermissions(const std::string& path) override {
    return inner_.InheritPermissions(path);
  }
  Status HoldFolder(const std::string& path, std::unique_ptr<FolderHold>& hold) override;

 private:
  // Runs `op` until it succeeds, fails for good, or the patience is spent. `path` is the file
  // whose read-only mark would make a refusal final; empty when none would.
  template <class Op>
  Status Patiently(const std::string& path, Op op);

  FileSystem& inner_;
  System& system_;
  std::uint32_t waited_ms_ = 0;
};

}  // namespace setup
