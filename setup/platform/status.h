#pragma once
// Errors are values: every platform operation that can fail returns a Status. Each platform
// turns its native error (errno, GetLastError) into one in a single place.

#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace setup {

enum class StatusCode {
  kOk,
  kNotFound,       // the file or folder is not there
  kAlreadyExists,  // the target of a create or move is already there
  kNotSameVolume,  // a rename between volumes, which only a copy can do
  kAccessDenied,
  kSharingViolation,  // another program holds the file open
  kDiskFull,
  kIoError,
  kUnsupported,
  kOther,
};

class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  static Status Error(StatusCode code, std::string message) {
    return Status(code, std::move(message));
  }

  bool ok() const { return code_ == StatusCode::kOk; }
  StatusCode code() const { return code_; }
  // A short English text naming the operation, the path and the cause.
  const std::string& message() const { return message_; }

 private:
  Status(StatusCode code, std::string message) : code_(code), message_(std::move(message)) {}

  StatusCode code_ = StatusCode::kOk;
  std::string message_;
};

// Inside a catch block: what the exception being handled says.
inline std::string DescribeCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an unknown exception";
  }
}

}  // namespace setup
