#include "tests/support/fault_file_system.h"

#include <new>
#include <utility>

namespace setup::testing {
namespace {

using State = FaultFileSystem::State;

Status Refused(const std::string& what) {
  return Status::Error(StatusCode::kAccessDenied, what + ": read-only");
}

char Drive(const std::string& path) {
  return path.size() > 1 && path[1] == ':' ? static_cast<char>(path[0] & ~0x20) : '\0';
}

struct FaultReadable final : ReadableFile {
  FaultReadable(std::unique_ptr<ReadableFile> f, std::shared_ptr<State> s, std::string p)
      : inner(std::move(f)), state(std::move(s)), path(std::move(p)) {}
  Status Read(std::span<char> buffer, std::size_t& got) override {
    return state->Run("read " + path, [&] { return inner->Read(buffer, got); });
  }
  std::unique_ptr<ReadableFile> inner;
  std::shared_ptr<State> state;
  std::string path;
};

// A lost write makes the close fail too, as the real files do.
struct FaultWritable final : WritableFile {
  FaultWritable(std::unique_ptr<WritableFile> f, std::shared_ptr<State> s, std::string p)
      : inner(std::move(f)), state(std::move(s)), path(std::move(p)) {}
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
  std::unique_ptr<WritableFile> inner;
  std::shared_ptr<State> state;
  std::string path;
  bool lost = false;
};

}  // namespace

Status State::Check(const std::string& call, bool after_effect) {
  if (!after_effect) ++calls;
  const bool picked =
      when ? !after_effect && when(call) : calls == fail_at && after_effect == after;
  if (!picked) return Status::Ok();
  failed = call;
  if (throws) throw std::bad_alloc();
  return Status::Error(code, "injected: " + call);
}

void FaultFileSystem::FailCall(std::size_t n, StatusCode code, bool after, bool throws) {
  *state_ = State{.calls = 0, .fail_at = n, .code = code, .after = after, .throws = throws};
}

Status FaultFileSystem::OpenForReading(const std::string& path,
                                       std::unique_ptr<ReadableFile>& file) {
  std::unique_ptr<ReadableFile> inner;
  Status s = state_->Run("open " + path, [&] { return inner_.OpenForReading(path, inner); });
  if (s.ok()) file = std::make_unique<FaultReadable>(std::move(inner), state_, path);
  return s;
}

Status FaultFileSystem::OpenForWriting(const std::string& path,
                                       std::unique_ptr<WritableFile>& file) {
  std::unique_ptr<WritableFile> inner;
  Status s = state_->Run("open-for-writing " + path, [&] {
    if (inner_.Inspect(path).read_only) return Refused("open " + path);
    return inner_.OpenForWriting(path, inner);
  });
  if (s.ok()) file = std::make_unique<FaultWritable>(std::move(inner), state_, path);
  return s;
}

Status FaultFileSystem::MakeFolder(const std::string& path) {
  return state_->Run("make-folder " + path, [&] { return inner_.MakeFolder(path); });
}

Status FaultFileSystem::ListFiles(const std::string& folder, std::vector<std::string>& names) {
  return state_->Run("list " + folder, [&] { return inner_.ListFiles(folder, names); });
}

Entry FaultFileSystem::Inspect(const std::string& path) {
  Entry entry;
  const Status s =
      state_->Run("inspect " + path, [&] { return entry = inner_.Inspect(path), Status(); });
  return s.ok() ? entry : Entry{EntryKind::kUnknown};
}

Status FaultFileSystem::Remove(const std::string& path) {
  return state_->Run("remove " + path, [&] {
    return inner_.Inspect(path).read_only ? Refused("remove " + path) : inner_.Remove(path);
  });
}

Status FaultFileSystem::Rename(const std::string& from, const std::string& to, bool replace) {
  return state_->Run("rename " + from + " -> " + to, [&] {
    if (Drive(from) != Drive(to)) return Status::Error(StatusCode::kNotSameVolume, "rename");
    if (replace && inner_.Inspect(to).read_only) return Refused("replace " + to);
    return inner_.Rename(from, to, replace);
  });
}

Status FaultFileSystem::CopyToNewFile(const std::string& from, const std::string& to) {
  return state_->Run("copy " + from + " -> " + to, [&] { return inner_.CopyToNewFile(from, to); });
}

Status FaultFileSystem::SetReadOnly(const std::string& path, bool read_only) {
  return state_->Run("set-read-only " + path, [&] { return inner_.SetReadOnly(path, read_only); });
}

bool FaultFileSystem::SameFolder(const std::string& a, const std::string& b) {
  bool same = false;
  const Status s = state_->Run("same-folder " + a + " | " + b,
                               [&] { return same = inner_.SameFolder(a, b), Status(); });
  return s.ok() && same;
}

}  // namespace setup::testing
