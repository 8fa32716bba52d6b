#pragma once
// The files MemoryFileSystem opens, tracks and holds: each call of theirs counts and can fail
// through the file system's FaultState, which they share and may outlive.

#include <algorithm>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "setup/platform/file_system.h"
#include "tests/support/fault_state.h"

namespace setup::testing::memory {

struct Data {
  std::string bytes;
  bool durable = true;
};

// What an opened file's calls count and fail through.
struct Opened {
  std::shared_ptr<FaultState> faults;
  std::string path;
};
// A node's number stays with it through renames, as a file's does on a volume.
struct Tracked final : FileTrack, Opened {
  Tracked(FileId file, std::shared_ptr<FaultState> f, std::string p)
      : Opened{std::move(f), std::move(p)}, id(file) {}
  Status Identify(FileId& file) override {
    return faults->Run("identify " + path, [&] { return file = id, Status(); });
  }
  FileId id;
};
struct Hold final : FolderHold {
  explicit Hold(int& count) : holds(count) {}
  ~Hold() override { --holds; }
  int& holds;
};
struct Reader final : ReadableFile, Opened {
  Reader(std::shared_ptr<Data> file, std::shared_ptr<FaultState> f, std::string p)
      : Opened{std::move(f), std::move(p)}, data(std::move(file)) {}
  Status Read(std::span<char> buffer, std::size_t& got) override {
    return faults->Run("read " + path, [&] {
      got = data->bytes.copy(buffer.data(), buffer.size(), std::min(at, data->bytes.size()));
      return at += got, Status();
    });
  }
  std::shared_ptr<Data> data;
  std::size_t at = 0;
};
// As a real file's handle, one that lost a write fails every later write and its close.
struct Writer final : WritableFile, Opened {
  Writer(std::shared_ptr<Data> file, std::shared_ptr<FaultState> f, std::string p)
      : Opened{std::move(f), std::move(p)}, data(std::move(file)) {}
  Status Append(std::string_view bytes) override {
    if (lost) return Status::Error(StatusCode::kIoError, "append after a lost write " + path);
    const Status s = faults->Run("append " + path, [&] { return data->bytes += bytes, Status(); });
    lost = !s.ok();
    return s;
  }
  Status Close() override {
    return faults->Run("close " + path, [&] {
      if (lost) return Status::Error(StatusCode::kIoError, "lost write " + path);
      return data->durable = true, Status();
    });
  }
  std::shared_ptr<Data> data;
  bool lost = false;
};

}  // namespace setup::testing::memory
