#include "tests/support/fault_file_system.h"

namespace setup::testing {
namespace {

struct FaultReadable final : ReadableFile {
  FaultReadable(std::unique_ptr<ReadableFile> f, std::shared_ptr<FaultState> s, std::string p)
      : inner(std::move(f)), state(std::move(s)), path(std::move(p)) {}
  Status Read(std::span<char> buffer, std::size_t& got) override {
    return state->Run("read " + path, [&] { return inner->Read(buffer, got); });
  }
  std::unique_ptr<ReadableFile> inner;
  std::shared_ptr<FaultState> state;
  std::string path;
};

// A lost write makes the close fail too, as the real files do.
struct FaultWritable final : WritableFile {
  FaultWritable(std::unique_ptr<WritableFile> f, std::shared_ptr<FaultState> s, std::string p)
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
  std::shared_ptr<FaultState> state;
  std::string path;
  bool lost = false;
};

}  // namespace

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
    return inner_.Inspect(path).read_only ? Refused("open " + path)
                                          : inner_.OpenForWriting(path, inner);
  });
  if (s.ok()) file = std::make_unique<FaultWritable>(std::move(inner), state_, path);
  return s;
}

}  // namespace setup::testing
