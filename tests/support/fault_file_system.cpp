#include "tests/support/fault_file_system.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace setup::testing {

struct FaultFileSystem::State {
  struct Fault {
    FsOp op;
    std::string path;
    StatusCode code;
  };
  std::vector<Fault> faults;
  std::size_t calls = 0;
  std::size_t failing_call = 0;  // 0: none
  StatusCode failing_call_code = StatusCode::kOk;
  std::vector<std::string> failed_calls;

  // The status the call must fail with, or Ok. `call` names it in the failure's message.
  Status Enter(FsOp op, std::string call, std::string_view path, std::string_view other_path = {});
};

namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool Matches(std::string_view pattern, std::string_view path) {
  if (pattern.empty()) return true;
  if (path.size() < pattern.size()) return false;
  const std::size_t start = path.size() - pattern.size();
  if (!EqualIgnoringCase(path.substr(start), pattern)) return false;
  return start == 0 || path[start - 1] == '\\' || path[start - 1] == '/';
}

class FaultReadableFile final : public ReadableFile {
 public:
  FaultReadableFile(std::unique_ptr<ReadableFile> inner, std::string path,
                    std::shared_ptr<FaultFileSystem::State> state)
      : inner_(std::move(inner)), path_(std::move(path)), state_(std::move(state)) {}

  Status Read(std::span<char> buffer, std::size_t& got) override {
    Status fault = state_->Enter(FsOp::kRead, "read " + path_, path_);
    return fault.ok() ? inner_->Read(buffer, got) : fault;
  }

 private:
  std::unique_ptr<ReadableFile> inner_;
  std::string path_;
  std::shared_ptr<FaultFileSystem::State> state_;
};

class FaultWritableFile final : public WritableFile {
 public:
  FaultWritableFile(std::unique_ptr<WritableFile> inner, std::string path,
                    std::shared_ptr<FaultFileSystem::State> state)
      : inner_(std::move(inner)), path_(std::move(path)), state_(std::move(state)) {}

  Status Append(std::string_view bytes) override {
    Status fault = state_->Enter(FsOp::kAppend, "append " + path_, path_);
    if (!fault.ok()) {
      lost_bytes_ = true;
      return fault;
    }
    return inner_->Append(bytes);
  }

  Status Close() override {
    if (Status fault = state_->Enter(FsOp::kClose, "close " + path_, path_); !fault.ok()) {
      return fault;
    }
    Status closed = inner_->Close();
    if (closed.ok() && lost_bytes_) {
      return Status::Error(StatusCode::kIoError, "close " + path_ + ": an append was failed");
    }
    return closed;
  }

 private:
  std::unique_ptr<WritableFile> inner_;
  std::string path_;
  std::shared_ptr<FaultFileSystem::State> state_;
  bool lost_bytes_ = false;
};

}  // namespace

Status FaultFileSystem::State::Enter(FsOp op, std::string call, std::string_view path,
                                     std::string_view other_path) {
  ++calls;
  std::optional<StatusCode> code;
  if (calls == failing_call) code = failing_call_code;
  for (const Fault& fault : faults) {
    if (code) break;
    if (fault.op != op) continue;
    if (Matches(fault.path, path) || (!other_path.empty() && Matches(fault.path, other_path))) {
      code = fault.code;
    }
  }
  if (!code) return Status::Ok();
  failed_calls.push_back(call);
  return Status::Error(*code, std::move(call) + ": injected fault");
}

FaultFileSystem::FaultFileSystem(FileSystem& inner)
    : inner_(inner), state_(std::make_shared<State>()) {}

FaultFileSystem::~FaultFileSystem() = default;

void FaultFileSystem::FailOn(FsOp op, std::string path, StatusCode code) {
  state_->faults.push_back({op, std::move(path), code});
}

void FaultFileSystem::FailCall(std::size_t n, StatusCode code) {
  state_->failing_call = n;
  state_->failing_call_code = code;
}

std::size_t FaultFileSystem::calls() const {
  return state_->calls;
}

const std::vector<std::string>& FaultFileSystem::failed_calls() const {
  return state_->failed_calls;
}

Status FaultFileSystem::OpenForReading(const std::string& path,
                                       std::unique_ptr<ReadableFile>& file) {
  if (Status fault = state_->Enter(FsOp::kOpen, "open " + path, path); !fault.ok()) return fault;
  std::unique_ptr<ReadableFile> inner_file;
  if (Status status = inner_.OpenForReading(path, inner_file); !status.ok()) return status;
  file = std::make_unique<FaultReadableFile>(std::move(inner_file), path, state_);
  return Status::Ok();
}

Status FaultFileSystem::OpenForWriting(const std::string& path,
                                       std::unique_ptr<WritableFile>& file) {
  if (Status fault = state_->Enter(FsOp::kOpenForWriting, "open-for-writing " + path, path);
      !fault.ok()) {
    return fault;
  }
  std::unique_ptr<WritableFile> inner_file;
  if (Status status = inner_.OpenForWriting(path, inner_file); !status.ok()) return status;
  file = std::make_unique<FaultWritableFile>(std::move(inner_file), path, state_);
  return Status::Ok();
}

Status FaultFileSystem::MakeFolder(const std::string& path) {
  Status fault = state_->Enter(FsOp::kMakeFolder, "make-folder " + path, path);
  return fault.ok() ? inner_.MakeFolder(path) : fault;
}

Status FaultFileSystem::ListFiles(const std::string& folder, std::vector<std::string>& names) {
  Status fault = state_->Enter(FsOp::kList, "list " + folder, folder);
  return fault.ok() ? inner_.ListFiles(folder, names) : fault;
}

bool FaultFileSystem::FileExists(const std::string& path) {
  return state_->Enter(FsOp::kExists, "exists " + path, path).ok() && inner_.FileExists(path);
}

Status FaultFileSystem::Remove(const std::string& path) {
  Status fault = state_->Enter(FsOp::kRemove, "remove " + path, path);
  return fault.ok() ? inner_.Remove(path) : fault;
}

Status FaultFileSystem::Move(const std::string& from, const std::string& to) {
  Status fault = state_->Enter(FsOp::kMove, "move " + from + " -> " + to, from, to);
  return fault.ok() ? inner_.Move(from, to) : fault;
}

Status FaultFileSystem::Replace(const std::string& from, const std::string& to) {
  Status fault = state_->Enter(FsOp::kReplace, "replace " + from + " -> " + to, from, to);
  return fault.ok() ? inner_.Replace(from, to) : fault;
}

bool FaultFileSystem::SameFolder(const std::string& a, const std::string& b) {
  return state_->Enter(FsOp::kSameFolder, "same-folder " + a + " | " + b, a, b).ok() &&
         inner_.SameFolder(a, b);
}

}  // namespace setup::testing
