#pragma once
// A scratch folder whose sub-folders c/, d/ and e/ stand for drives C:, D: and E:, seen through
// the POSIX file system and the fault-injecting one on top of it.

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "setup/platform/posix/posix_file_system.h"
#include "setup/platform/posix/posix_system.h"
#include "tests/support/fault_file_system.h"

namespace setup::testing {

using Files = std::map<std::string, std::string>;  // name -> bytes

class Scratch {
 public:
  // Under `parent`; by default in memory where there is a tmpfs, since the program flushes every
  // file it writes and the tests write thousands.
  explicit Scratch(const std::filesystem::path& parent = InMemoryIfPossible())
      : root_(MakeRoot(parent)),
        posix({{'C', root_ / "c"}, {'D', root_ / "d"}, {'E', root_ / "e"}}),
        files(posix) {
    for (const char* drive : {"c", "d", "e"}) std::filesystem::create_directory(root_ / drive);
  }
  ~Scratch() {
    std::error_code ignored;
    // Read-only files are removed too: a folder's rights decide that on POSIX.
    std::filesystem::remove_all(root_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  std::filesystem::path Path(const std::string& relative) const { return root_ / relative; }
  void Write(const std::string& relative, const std::string& bytes) const {
    std::filesystem::create_directories(Path(relative).parent_path());
    std::ofstream(Path(relative), std::ios::binary) << bytes;
  }
  void Write(const std::string& folder, const Files& contents) const {
    for (const auto& [name, bytes] : contents) Write(folder + "/" + name, bytes);
  }
  std::optional<std::string> Read(const std::string& relative) const {
    std::ifstream in(Path(relative), std::ios::binary);
    if (!in || std::filesystem::is_directory(Path(relative))) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Every entry of the folder (hidden ones too); folders read as "<folder>".
  Files Contents(const std::string& folder) const {
    Files found;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(Path(folder), ignored)) {
      found[entry.path().filename()] =
          Read(folder + "/" + entry.path().filename().string()).value_or("<folder>");
    }
    return found;
  }
  // The read-only attribute is the write bits, as Wine shows it.
  bool IsReadOnly(const std::string& relative) const {
    using std::filesystem::perms;
    return (std::filesystem::status(Path(relative)).permissions() & perms::owner_write) ==
           perms::none;
  }
  void MakeReadOnly(const std::string& relative) const {
    std::filesystem::permissions(Path(relative), std::filesystem::perms::owner_read);
  }

 private:
  static std::filesystem::path InMemoryIfPossible() {
    return std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
  }
  static std::filesystem::path MakeRoot(const std::filesystem::path& parent) {
    std::string pattern = (parent / "setup-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
    return pattern;
  }

  std::filesystem::path root_;

 public:
  PosixFileSystem posix;
  FaultFileSystem files;
};

// The system of a native build, but that its pauses take no time.
struct PauseProbe final : PosixSystem {
  explicit PauseProbe(std::string application_path = "D:\\SETUP",
                      std::string system_dir = "C:\\WINDOWS\\system32")
      : PosixSystem(std::move(application_path), std::move(system_dir)) {}
  void Sleep(std::uint32_t) override {}
};

}  // namespace setup::testing
