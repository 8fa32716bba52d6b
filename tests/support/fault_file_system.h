#pragma once
// A FileSystem over another that fails a chosen call, so that tests can drive the program through
// failures real files will not produce on demand.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "setup/platform/file_system.h"

namespace setup::testing {

// Shared with opened files, which may outlive the file system.
struct FaultState {
  std::size_t calls = 0, fail_at = 0, times = 0;
  StatusCode code = StatusCode::kOk;
  bool after = false, throws = false;
  std::function<bool(const std::string&)> when;
  std::string failed;

  // Runs `op` as the call named `call` ("operation path..."), failing it where planned.
  template <class Op>
  Status Run(const std::string& call, Op&& op) {
    if (Status s = Check(call, false); !s.ok()) return s;
    Status s = op();
    return s.ok() ? Check(call, true) : s;
  }
  Status Check(const std::string& call, bool after_effect) {
    if (!after_effect) ++calls;
    if (!(when ? !after_effect && times > 0 && when(call)
               : calls == fail_at && after_effect == after))
      return {};
    if (when) --times;
    failed = call;
    if (throws) throw std::bad_alloc();
    return Status::Error(code, "injected: " + call);
  }
};

// An opened file, whose calls count and fail as the file system's do.
template <class File>
struct FaultFile : File {
  FaultFile(std::unique_ptr<File> f, std::shared_ptr<FaultState> s, std::string p)
      : inner(std::move(f)), state(std::move(s)), path(std::move(p)) {}
  std::unique_ptr<File> inner;
  std::shared_ptr<FaultState> state;
  std::string path;
};

struct FaultReadable final : FaultFile<ReadableFile> {
  using FaultFile::FaultFile;
  Status Read(std::span<char> buffer, std::size_t& got) override {
    return state->Run("read " + path, [&] { return inner->Read(buffer, got); });
  }
};

// A lost write makes the close fail too, as the real files do.
struct FaultWritable final : FaultFile<WritableFile> {
  using FaultFile::FaultFile;
  Status Append(std::string_view bytes) override {
    Status s = state->Run("append " + path, [&] { return inner->Append(bytes); });
    lost = lost || !s.ok();
    return s;
  }
  Status Close() override {
    return state->Run("close " + path, [&] {
      const Status s = inner->Close();
      return !s.ok() || !lost ? s : Status::Error(StatusCode::kIoError, "lost write " + path);
    });
  }
  bool lost = false;
};

struct FaultTrack final : FaultFile<FileTrack> {
  using FaultFile::FaultFile;
  Status Identify(FileId& id) override {
    return state->Run("identify " + path, [&] { return inner->Identify(id); });
  }
};

// Fails a chosen call of the file system it wraps.
class FaultFileSystem final : public FileSystem {
 public:
  // `inner` must outlive this object and every file opened through it.
  explicit FaultFileSystem(FileSystem& inner) : inner_(inner) {}

  // Fails the nth call from now on (from 1; reads, appends and closes of opened files count)
  // with `code`: before it reaches the inner file system, or, with `after`, once it has taken
  // effect there, as a call whose answer was lost half way; with `throws`, by throwing
  // std::bad_alloc before it takes effect. Inspect and SameFolder fail by answering kUnknown and
  // false.
  void FailCall(std::size_t n, StatusCode code, bool after = false, bool throws = false) {
    *state_ = FaultState{.fail_at = n, .code = code, .after = after, .throws = throws};
  }
  // Fails, before they take effect, the first `times` calls whose name `when` picks.
  void FailWhere(std::function<bool(const std::string&)> when, StatusCode code,
                 std::size_t times = SIZE_MAX) {
    *state_ = FaultState{.times = times, .code = code, .when = std::move(when)};
  }
  // What is planned, the calls so far, and the last failed one ("operation path") in `failed`.
  const FaultState& state() const { return *state_; }

  Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    return Open<FaultReadable>("open", path, file, &FileSystem::OpenForReading);
  }
  Status OpenForWriting(const std::string& path, std::unique_ptr<WritableFile>& file) override {
    return Open<FaultWritable>("open-for-writing", path, file, &FileSystem::OpenForWriting);
  }
  Status OpenForAppending(const std::string& path, std::unique_ptr<WritableFile>& file) override {
    return Open<FaultWritable>("open-for-appending", path, file, &FileSystem::OpenForAppending);
  }
  Status MakeFolder(const std::string& path) override {
    return state_->Run("make-folder " + path, [&] { return inner_.MakeFolder(path); });
  }
  Status ListFiles(const std::string& folder, std::vector<std::string>& names) override {
    return state_->Run("list " + folder, [&] { return inner_.ListFiles(folder, names); });
  }
  Entry Inspect(const std::string& path) override {
    Entry entry;
    const Status s =
        state_->Run("inspect " + path, [&] { return entry = inner_.Inspect(path), Status(); });
    return s.ok() ? entry : Entry{EntryKind::kUnknown};
  }
  Status Remove(const std::string& path) override {
    return state_->Run("remove " + path, [&] { return inner_.Remove(path); });
  }
  Status Rename(const std::string& from, const std::string& to, bool replace) override {
    return state_->Run("rename " + from + " -> " + to,
                       [&] { return inner_.Rename(from, to, replace); });
  }
  Status CopyToNewFile(const std::string& from, const std::string& to) override {
    return state_->Run("copy " + from + " -> " + to,
                       [&] { return inner_.CopyToNewFile(from, to); });
  }
  Status SetReadOnly(const std::string& path, bool read_only) override {
    return state_->Run("set-read-only " + path,
                       [&] { return inner_.SetReadOnly(path, read_only); });
  }
  Status Track(const std::string& path, std::unique_ptr<FileTrack>& track) override {
    return Open<FaultTrack>("track", path, track, &FileSystem::Track);
  }
  Status InheritPermissions(const std::string& path) override {
    return state_->Run("inherit " + path, [&] { return inner_.InheritPermissions(path); });
  }
  Status HoldFolder(const std::string& path, std::unique_ptr<FolderHold>& hold) override {
    return state_->Run("hold " + path, [&] { return inner_.HoldFolder(path, hold); });
  }
  bool SameFolder(const std::string& a, const std::string& b) override {
    bool same = false;
    const Status s = state_->Run("same-folder " + a + " | " + b,
                                 [&] { return same = inner_.SameFolder(a, b), Status(); });
    return s.ok() && same;
  }

 private:
  template <class Wrapper, class File>
  Status Open(const char* call, const std::string& path, std::unique_ptr<File>& file,
              Status (FileSystem::*open)(const std::string&, std::unique_ptr<File>&)) {
    std::unique_ptr<File> inner;
    Status s = state_->Run(call + (" " + path), [&] { return (inner_.*open)(path, inner); });
    if (s.ok()) file = std::make_unique<Wrapper>(std::move(inner), state_, path);
    return s;
  }

  FileSystem& inner_;
  std::shared_ptr<FaultState> state_ = std::make_shared<FaultState>();
};

}  // namespace setup::testing
