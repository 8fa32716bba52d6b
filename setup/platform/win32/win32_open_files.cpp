#include "setup/platform/win32/win32_open_files.h"

#include <algorithm>
#include <cstddef>
#include <span>
#include <string_view>
#include <utility>

#include "setup/platform/win32/win32_handles.h"
#include "setup/platform/win32/win32_status.h"

namespace setup::win32 {
namespace {

// Single reads and writes of many megabytes on network shares can fail with
// ERROR_NO_SYSTEM_RESOURCES; a megabyte at a time stays well clear of that.
constexpr DWORD kIoChunk = 1 << 20;

// Returns 0 or the GetLastError value of the failed write.
DWORD WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kIoChunk));
    DWORD put = 0;
    if (!WriteFile(file, bytes.data(), chunk, &put, nullptr)) return GetLastError();
    if (put == 0) return ERROR_WRITE_FAULT;  // no progress and no reason given: don't spin
    bytes.remove_prefix(put);
  }
  return 0;
}

class Win32ReadableFile final : public ReadableFile {
 public:
  Win32ReadableFile(UniqueHandle file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}

  Status Read(std::span<char> buffer, std::size_t& got) override {
    const auto asked = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), kIoChunk));
    DWORD done = 0;
    if (!ReadFile(file_.get(), buffer.data(), asked, &done, nullptr)) {
      return LastErrorStatus("read", path_);
    }
    got = done;
    return Status::Ok();
  }

 private:
  UniqueHandle file_;
  std::string path_;
};

class Win32WritableFile final : public WritableFile {
 public:
  Win32WritableFile(UniqueHandle file, std::string path)
      : file_(std::move(file)), path_(std::move(path)) {}

  Status Append(std::string_view bytes) override {
    if (error_ == 0) error_ = WriteAll(file_.get(), bytes);
    if (error_ != 0) return StatusFromWin32(error_, "write", path_);
    return Status::Ok();
  }

  Status Close() override {
    if (error_ == 0 && !FlushFileBuffers(file_.get())) error_ = GetLastError();
    if (!file_.Close() && error_ == 0) error_ = GetLastError();
    if (error_ != 0) return StatusFromWin32(error_, "write", path_);
    return Status::Ok();
  }

 private:
  UniqueHandle file_;
  std::string path_;
  DWORD error_ = 0;  // the first failure: bytes were lost, so Close must fail too
};

}  // namespace

std::unique_ptr<ReadableFile> ReadableOver(UniqueHandle file, std::string path) {
  return std::make_unique<Win32ReadableFile>(std::move(file), std::move(path));
}

std::unique_ptr<WritableFile> WritableOver(UniqueHandle file, std::string path) {
  return std::make_unique<Win32WritableFile>(std::move(file), std::move(path));
}

Status CopyInto(HANDLE in, const std::string& from, const std::string& to) {
  FILETIME created{}, accessed{}, written{};
  const bool have_times = GetFileTime(in, &created, &accessed, &written) != FALSE;
  UniqueHandle out;
  if (Status s = OpenHandle(to,
                            {.access = GENERIC_WRITE,
                             .sharing = 0,
                             .disposition = CREATE_NEW,
                             .flags = FILE_ATTRIBUTE_NORMAL},
                            "copy", out);
      !s.ok()) {
    return s;
  }
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in, buffer, sizeof buffer, &got, nullptr)) return LastErrorStatus("copy", from);
    if (got == 0) break;
    if (const DWORD error = WriteAll(out.get(), std::string_view(buffer, got))) {
      return StatusFromWin32(error, "copy", to);
    }
  }
  // A move keeps the file's times; where the target refuses, the copy is still whole.
  if (have_times) (void)SetFileTime(out.get(), nullptr, nullptr, &written);
  if (!FlushFileBuffers(out.get()) || !out.Close()) return LastErrorStatus("copy", to);
  return Status::Ok();
}

}  // namespace setup::win32
