#include "setup/platform/posix/errno_status.h"

#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

namespace setup {
namespace {

StatusCode CodeFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return StatusCode::kNotFound;
    case EEXIST:
    case ENOTEMPTY:
      return StatusCode::kAlreadyExists;
    case EXDEV:
      return StatusCode::kNotSameVolume;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:  // Windows refuses file operations on a folder with "access denied" too.
      return StatusCode::kAccessDenied;
    case ETXTBSY:
    case EBUSY:
      return StatusCode::kSharingViolation;
    case ENOSPC:
    case EDQUOT:
      return StatusCode::kDiskFull;
    case EIO:
    case EFBIG:
    case ENXIO:
    case ESTALE:
      return StatusCode::kIoError;
    case ENOSYS:
    case ENOTSUP:
#if EOPNOTSUPP != ENOTSUP
    case EOPNOTSUPP:
#endif
      return StatusCode::kUnsupported;
    default:
      return StatusCode::kOther;
  }
}

}  // namespace

Status StatusFromErrno(int err, std::string_view operation, std::string_view path) {
  std::string message;
  message.reserve(operation.size() + path.size() + 40);
  message.append(operation);
  if (!path.empty()) {
    message.push_back(' ');
    message.append(path);
  }
  message.append(": ");
  // generic_category's text is strerror's, without strerror's shared buffer.
  message.append(std::generic_category().message(err));
  return Status::Error(CodeFromErrno(err), std::move(message));
}

}  // namespace setup
