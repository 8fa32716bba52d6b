#pragma once
// A FileSystem that passes calls on to another one and fails chosen ones, so tests
// can drive the install run through errors real files will not produce on demand.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "setup/platform/file_system.h"
#include "setup/platform/status.h"

namespace setup::testing {

enum class FsOp {
  kOpen,  // for reading
  kRead,
  kOpenForWriting,
  kAppend,
  kClose,
  kMakeFolder,
  kList,
  kExists,
  kRemove,
  kMove,
  kReplace,
  kSameFolder,
};

class FaultFileSystem final : public FileSystem {
 public:
  // `inner` must outlive this object and every file opened through it.
  explicit FaultFileSystem(FileSystem& inner);
  ~FaultFileSystem() override;

  // From now on, every `op` call on a matching path fails with `code` without reaching the
  // inner file system. A path matches when it is `path`, or ends with `path` right after a
  // '\' or '/', comparing ASCII letters without regard to case as Windows does: "a.dvb"
  // matches "E:\tool\A.DVB" but not "E:\tool\ba.dvb". An empty `path` matches every path.
  // Move, Replace and SameFolder match on either of their paths; kRead, kAppend and kClose
  // fail those calls on files opened from a matching path, whenever they were opened. A failed
  // Append makes the file's Close fail too, as a lost write would. FileExists and SameFolder
  // answer false when failed.
  void FailOn(FsOp op, std::string path, StatusCode code = StatusCode::kIoError);
  // Fails the `n`th call from construction on (counting from 1, as calls() does), whatever it
  // is, with `code`; the failed call behaves as under FailOn.
  void FailCall(std::size_t n, StatusCode code);

  // Calls made so far, failed or not, those on opened files included.
  std::size_t calls() const;
  // The calls that were failed, in order, each named as in its failure's message ("open P",
  // "read P", "open-for-writing P", "append P", "close P", "make-folder P", "list P",
  // "exists P", "remove P", "move A -> B", "replace A -> B", "same-folder A | B").
  const std::vector<std::string>& failed_calls() const;

  Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override;
  Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) override;
  Status MakeFolder(const std::string& path) override;
  Status ListFiles(const std::string& folder, std::vector<std::string>& names) override;
  bool FileExists(const std::string& path) override;
  Status Remove(const std::string& path) override;
  Status Move(const std::string& from, const std::string& to) override;
  Status Replace(const std::string& from, const std::string& to) override;
  bool SameFolder(const std::string& a, const std::string& b) override;

  // Shared with the files opened through this object, so that a file may outlive it.
  struct State;

 private:
  FileSystem& inner_;
  std::shared_ptr<State> state_;
};

}  // namespace setup::testing
