#include "tests/support/fault_file_system.h"

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

class FaultReadable final : public ReadableFile {
 public:
  FaultReadable(std::unique_ptr<ReadableFile> inner, std::shared_ptr<State> state, std::string path)
      : inner_(std::move(inner)), state_(std::move(state)), path_(std::move(path)) {}
  Status Read(std::span<char> buffer, std::size_t& got) override {
    if (Status s = state_->Check("read " + path_, false); !s.ok()) return s;
    Status s = inner_->Read(buffer, got);
    return s.ok() ? state_->Check("read " + path_, true) : s;
  }

 private:
  std::unique_ptr<ReadableFile> inner_;
  std::shared_ptr<State> state_;
  std::string path_;
};

class FaultWritable final : public WritableFile {
 public:
  FaultWritable(std::unique_ptr<WritableFile> inner, std::shared_ptr<State> state, std::string path)
      : inner_(std::move(inner)), state_(std::move(state)), path_(std::move(path)) {}
  // A lost write makes the close fail too, as the real files do.
  Status Append(std::string_view bytes) override {
    Status s = state_->Check("append " + path_, false);
    if (s.ok()) s = inner_->Append(bytes);
    if (s.ok()) s = state_->Check("append " + path_, true);
    if (!s.ok()) lost_ = true;
    return s;
  }
  Status Close() override {
    if (Status s = state_->Check("close " + path_, false); !s.ok()) return s;
    Status s = inner_->Close();
    if (s.ok() && lost_) s = Status::Error(StatusCode::kIoError, "close " + path_ + ": lost write");
    return s.ok() ? state_->Check("close " + path_, true) : s;
  }

 private:
  std::unique_ptr<WritableFile> inner_;
  std::shared_ptr<State> state_;
  std::string path_;
  bool lost_ = false;
};

}  // namespace

Status State::Check(const std::string& call, bool after_effect) {
  if (!after_effect) ++calls;
  const bool picked =
      when ? !after_effect && when(call) : calls == fail_at && after_effect == after;
  if (!picked) return Status::Ok();
  failed = call;
  return Status::Error(code, "injected: " + call);
}

void FaultFileSystem::FailCall(std::size_t n, StatusCode code, bool after) {
  *state_ = State{.calls = 0, .fail_at = n, .code = code, .after = after};
}

template <class Op>
Status FaultFileSystem::Run(const std::string& call, Op&& op) {
  if (Status s = state_->Check(call, false); !s.ok()) return s;
  Status s = op();
  return s.ok() ? state_->Check(call, true) : s;
}

Status FaultFileSystem::OpenForReading(const std::string& path,
                                       std::unique_ptr<ReadableFile>& file) {
  std::unique_ptr<ReadableFile> inner;
  Status s = Run("open " + path, [&] { return inner_.OpenForReading(path, inner); });
  if (s.ok()) file = std::make_unique<FaultReadable>(std::move(inner), state_, path);
  return s;
}

Status FaultFileSystem::OpenForWriting(const std::string& path,
                                       std::unique_ptr<WritableFile>& file) {
  std::unique_ptr<WritableFile> inner;
  Status s = Run("open-for-writing " + path, [&] {
    if (inner_.Inspect(path).read_only) return Refused("open " + path);
    return inner_.OpenForWriting(path, inner);
  });
  if (s.ok()) file = std::make_unique<FaultWritable>(std::move(inner), state_, path);
  return s;
}

Status FaultFileSystem::MakeFolder(const std::string& path) {
  return Run("make-folder " + path, [&] { return inner_.MakeFolder(path); });
}

Status FaultFileSystem::ListFiles(const std::string& folder, std::vector<std::string>& names) {
  return Run("list " + folder, [&] { return inner_.ListFiles(folder, names); });
}

Entry FaultFileSystem::Inspect(const std::string& path) {
  Entry entry;
  const Status s = Run("inspect " + path, [&] {
    entry = inner_.Inspect(path);
    return Status::Ok();
  });
  return s.ok() ? entry : Entry{EntryKind::kUnknown};
}

Status FaultFileSystem::Remove(const std::string& path) {
  return Run("remove " + path, [&] {
    if (inner_.Inspect(path).read_only) return Refused("remove " + path);
    return inner_.Remove(path);
  });
}

Status FaultFileSystem::Rename(const std::string& from, const std::string& to, bool replace) {
  return Run("rename " + from + " -> " + to, [&] {
    if (Drive(from) != Drive(to)) return Status::Error(StatusCode::kNotSameVolume, "rename");
    if (replace && inner_.Inspect(to).read_only) return Refused("replace " + to);
    return inner_.Rename(from, to, replace);
  });
}

Status FaultFileSystem::CopyToNewFile(const std::string& from, const std::string& to) {
  return Run("copy " + from + " -> " + to, [&] { return inner_.CopyToNewFile(from, to); });
}

Status FaultFileSystem::SetReadOnly(const std::string& path, bool read_only) {
  return Run("set-read-only " + path, [&] { return inner_.SetReadOnly(path, read_only); });
}

bool FaultFileSystem::SameFolder(const std::string& a, const std::string& b) {
  bool same = false;
  const Status s = Run("same-folder " + a + " | " + b, [&] {
    same = inner_.SameFolder(a, b);
    return Status::Ok();
  });
  return s.ok() && same;
}

}  // namespace setup::testing
