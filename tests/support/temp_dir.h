#pragma once
// A scratch folder for tests that need real files, removed with everything in it when the
// object goes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace setup::testing {

class TempDir {
 public:
  // Creates a new folder under $TMPDIR (or /tmp); throws std::runtime_error if it cannot.
  TempDir();
  // Creates it under `parent` instead, e.g. on another file system.
  explicit TempDir(const std::string& parent);
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  // The folder's POSIX path, without a trailing '/'.
  const std::string& path() const { return path_; }
  // path() + "/" + relative; relative uses '/'.
  std::string Join(std::string_view relative) const;

  // Each of these works on Join(relative) and reports success.
  bool WriteFile(std::string_view relative, std::string_view bytes) const;
  bool MakeFolder(std::string_view relative) const;
  // The file's bytes, or nothing when it cannot be read (missing, a folder, ...).
  std::optional<std::string> ReadFile(std::string_view relative) const;
  // Names in the folder (default: the scratch folder itself), dot-files included, sorted.
  std::vector<std::string> ListSorted(std::string_view relative = {}) const;

 private:
  std::string path_;
};

}  // namespace setup::testing
