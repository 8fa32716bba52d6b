#pragma once
// A FileSystem over another that keeps the Windows rules a POSIX system does not, and fails a
// chosen call, so that tests can drive the program through failures real files will not produce
// on demand.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "setup/platform/file_system.h"

namespace setup::testing {

// Windows rules kept: a read-only file is not removed, opened for writing or replaced
// (kAccessDenied); a rename between two drive letters fails with kNotSameVolume.
class FaultFileSystem final : public FileSystem {
 public:
  // `inner` must outlive this object and every file opened through it.
  explicit FaultFileSystem(FileSystem& inner) : inner_(inner), state_(std::make_shared<State>()) {}

  // Fails the nth call from now on (from 1; reads, appends and closes of opened files count)
  // with `code`: before it reaches the inner file system, or, with `after`, once it has taken
  // effect there, as a call whose answer was lost half way. Inspect and SameFolder fail by
  // answering kUnknown and false.
  // With `throws`, the call throws std::bad_alloc instead, before it takes effect.
  void FailCall(std::size_t n, StatusCode code, bool after = false, bool throws = false);
  // Fails, before they take effect, the calls whose name ("operation path...") `when` picks.
  void FailWhere(std::function<bool(const std::string&)> when, StatusCode code) {
    *state_ = State{.code = code, .when = std::move(when)};
  }
  std::size_t calls() const { return state_->calls; }
  // The failed call, as "operation path", or empty.
  const std::string& failed() const { return state_->failed; }

  Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override;
  Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) override;
  Status MakeFolder(const std::string& path) override;
  Status ListFiles(const std::string& folder, std::vector<std::string>& names) override;
  Entry Inspect(const std::string& path) override;
  Status Remove(const std::string& path) override;
  Status Rename(const std::string& from, const std::string& to, bool replace) override;
  Status CopyToNewFile(const std::string& from, const std::string& to) override;
  Status SetReadOnly(const std::string& path, bool read_only) override;
  bool SameFolder(const std::string& a, const std::string& b) override;

  // Shared with opened files, which may outlive this object.
  struct State {
    std::size_t calls = 0, fail_at = 0;
    StatusCode code = StatusCode::kOk;
    bool after = false, throws = false;
    std::function<bool(const std::string&)> when;
    std::string failed;
    // The failure planned for this call, if it is the one; `call` names it.
    Status Check(const std::string& call, bool after_effect);
    // Runs `op` as the call named `call`, failing it where planned.
    template <class Op>
    Status Run(const std::string& call, Op&& op) {
      if (Status s = Check(call, false); !s.ok()) return s;
      Status s = op();
      return s.ok() ? Check(call, true) : s;
    }
  };

 private:
  FileSystem& inner_;
  std::shared_ptr<State> state_;
};

}  // namespace setup::testing
