#include "setup/platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <span>
#include <string_view>
#include <utility>

#include "setup/platform/posix/errno_status.h"

namespace setup {
namespace {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int get() const { return fd_; }

  // Closes now, returning close's errno or 0: a write can first fail here (a full disk on a
  // network file system), so writers must look. Not retried on EINTR: Linux has closed the
  // descriptor by then.
  int Close() {
    if (fd_ < 0) return 0;
    return ::close(std::exchange(fd_, -1)) == 0 ? 0 : errno;
  }

 private:
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  int fd_ = -1;
};

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

// The helpers below return 0 or an errno value; the public operations turn that into a Status
// naming the Windows-form path.

int OpenFile(const std::string& path, int flags, mode_t mode, UniqueFd& fd) {
  int raw;
  do {
    raw = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (raw < 0 && errno == EINTR);
  if (raw < 0) return errno;
  fd = UniqueFd(raw);
  return 0;
}

// Opens a plain file for reading. O_NONBLOCK keeps a FIFO at the path from stalling the open;
// it means nothing for the plain files that get past the check.
int OpenPlainFile(const std::string& path, UniqueFd& fd, struct stat& info) {
  if (const int err = OpenFile(path, O_RDONLY | O_NONBLOCK, 0, fd)) return err;
  if (::fstat(fd.get(), &info) != 0) return errno;
  if (S_ISDIR(info.st_mode)) return EISDIR;
  if (!S_ISREG(info.st_mode)) return EINVAL;
  return 0;
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (put == 0) return EIO;  // no progress and no reason given: don't spin
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return 0;
}

int CopyBytes(int in, int out, bool& failed_reading) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      failed_reading = true;
      return errno;
    }
    if (got == 0) return 0;
    if (const int err = WriteAll(out, std::string_view(buffer, static_cast<std::size_t>(got)))) {
      return err;
    }
  }
}

struct CopyFailure {
  int err = 0;
  bool at_source = false;  // which path the failure concerns, for the message
};

// Copies the plain file `from` into a file that this call creates at `to`, then flushes and
// closes it. Fails with EEXIST, touching nothing, when `to` exists; after any other failure
// nothing it created is left behind. The copy is writable whatever the source's mode: a
// read-only mark (files from a CD) would only stand in the way of the next replacement.
CopyFailure CopyInto(const std::string& from, const std::string& to) {
  UniqueFd in;
  struct stat info {};
  if (const int err = OpenPlainFile(from, in, info)) return {err, true};
  UniqueFd out;
  if (const int err = OpenFile(to, O_WRONLY | O_CREAT | O_EXCL, 0666, out)) {
    return {err, false};
  }
  bool failed_reading = false;
  int err = CopyBytes(in.get(), out.get(), failed_reading);
  if (err == 0) {
    // A move keeps the file's times on Windows; where the target refuses, the copy is still
    // whole, so this is not worth failing the move for.
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    (void)::futimens(out.get(), times);
    if (::fsync(out.get()) != 0) err = errno;
  }
  const int close_err = out.Close();
  if (err == 0) err = close_err;
  if (err != 0) {
    ::unlink(to.c_str());
    return {err, failed_reading};
  }
  return {};
}

std::string BothPaths(const std::string& from, const std::string& to) {
  return from + " -> " + to;
}

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char ToUpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

class PosixReadableFile final : public ReadableFile {
 public:
  PosixReadableFile(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

  Status Read(std::span<char> buffer, std::size_t& got) override {
    ssize_t result;
    do {
      result = ::read(fd_.get(), buffer.data(), buffer.size());
    } while (result < 0 && errno == EINTR);
    if (result < 0) return StatusFromErrno(errno, "read", path_);
    got = static_cast<std::size_t>(result);
    return Status::Ok();
  }

 private:
  UniqueFd fd_;
  std::string path_;
};

class PosixWritableFile final : public WritableFile {
 public:
  PosixWritableFile(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

  Status Append(std::string_view bytes) override {
    if (err_ == 0) err_ = WriteAll(fd_.get(), bytes);
    if (err_ != 0) return StatusFromErrno(err_, "write", path_);
    return Status::Ok();
  }

  Status Close() override {
    if (err_ == 0 && ::fsync(fd_.get()) != 0) err_ = errno;
    const int close_err = fd_.Close();
    if (err_ == 0) err_ = close_err;
    if (err_ != 0) return StatusFromErrno(err_, "write", path_);
    return Status::Ok();
  }

 private:
  UniqueFd fd_;
  std::string path_;
  int err_ = 0;  // the first failure: bytes were lost, so Close must fail too
};

}  // namespace

PosixFileSystem::PosixFileSystem(std::map<char, std::string> drives) {
  for (auto& [letter, folder] : drives) drives_.insert_or_assign(ToUpperAscii(letter), folder);
}

Status PosixFileSystem::MapPath(std::string_view windows_path, std::string& posix_path) const {
  if (windows_path.find('\0') != std::string_view::npos) {
    return Status::Error(StatusCode::kOther, "path holds a NUL character");
  }
  std::string result;
  std::string_view rest = windows_path;
  if (rest.size() >= 2 && rest[1] == ':' && IsAsciiLetter(rest[0])) {
    const auto drive = drives_.find(ToUpperAscii(rest[0]));
    if (drive == drives_.end()) {
      return Status::Error(StatusCode::kNotFound, std::string(windows_path) + ": no such drive");
    }
    rest.remove_prefix(2);
    if (!rest.empty() && IsSeparator(rest[0])) rest.remove_prefix(1);
    result.reserve(drive->second.size() + 1 + rest.size());
    result = drive->second;
    result.push_back('/');
  }
  for (const char c : rest) result.push_back(c == '\\' ? '/' : c);
  posix_path = std::move(result);
  return Status::Ok();
}

Status PosixFileSystem::OpenForReading(const std::string& path,
                                       std::unique_ptr<ReadableFile>& file) {
  std::string mapped;
  if (Status status = MapPath(path, mapped); !status.ok()) return status;
  UniqueFd fd;
  struct stat info {};
  if (const int err = OpenPlainFile(mapped, fd, info)) return StatusFromErrno(err, "open", path);
  file = std::make_unique<PosixReadableFile>(std::move(fd), path);
  return Status::Ok();
}

Status PosixFileSystem::OpenForWriting(const std::string& path,
                                       std::unique_ptr<WritableFile>& file) {
  std::string mapped;
  if (Status status = MapPath(path, mapped); !status.ok()) return status;
  UniqueFd fd;
  if (const int err = OpenFile(mapped, O_WRONLY | O_CREAT | O_TRUNC, 0666, fd)) {
    return StatusFromErrno(err, "open for writing", path);
  }
  file = std::make_unique<PosixWritableFile>(std::move(fd), path);
  return Status::Ok();
}

Status PosixFileSystem::MakeFolder(const std::string& path) {
  std::string mapped;
  if (Status status = MapPath(path, mapped); !status.ok()) return status;
  if (::mkdir(mapped.c_str(), 0777) != 0) return StatusFromErrno(errno, "make folder", path);
  return Status::Ok();
}

Status PosixFileSystem::ListFiles(const std::string& folder, std::vector<std::string>& names) {
  std::string mapped;
  if (Status status = MapPath(folder, mapped); !status.ok()) return status;
  UniqueDir dir(::opendir(mapped.c_str()));
  if (!dir) return StatusFromErrno(errno, "list", folder);
  std::vector<std::string> found;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) return StatusFromErrno(errno, "list", folder);
      break;
    }
    const std::string_view name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    struct stat info {};
    if (::fstatat(::dirfd(dir.get()), entry->d_name, &info, 0) != 0) {
      // Gone since readdir, or a link that leads nowhere: not a plain file either way.
      if (errno == ENOENT || errno == ELOOP) continue;
      return StatusFromErrno(errno, "list", folder + "\\" + std::string(name));
    }
    if (S_ISREG(info.st_mode)) found.emplace_back(name);
  }
  names = std::move(found);
  return Status::Ok();
}

Entry PosixFileSystem::Inspect(const std::string& path) {
  std::string mapped;
  struct stat info {};
  if (!MapPath(path, mapped).ok()) return {EntryKind::kUnknown};
  if (::lstat(mapped.c_str(), &info) != 0) {
    return {errno == ENOENT || errno == ENOTDIR ? EntryKind::kNone : EntryKind::kUnknown};
  }
  const bool read_only = (info.st_mode & 0222) == 0;
  if (S_ISLNK(info.st_mode)) return {EntryKind::kLink, read_only};
  if (S_ISDIR(info.st_mode)) return {EntryKind::kFolder, read_only};
  if (S_ISREG(info.st_mode)) return {EntryKind::kFile, read_only};
  return {EntryKind::kOther, read_only};
}

Status PosixFileSystem::Remove(const std::string& path) {
  std::string mapped;
  if (Status status = MapPath(path, mapped); !status.ok()) return status;
  if (::unlink(mapped.c_str()) != 0) return StatusFromErrno(errno, "remove", path);
  return Status::Ok();
}

Status PosixFileSystem::Rename(const std::string& from, const std::string& to, bool replace) {
  std::string source;
  std::string target;
  if (Status status = MapPath(from, source); !status.ok()) return status;
  if (Status status = MapPath(to, target); !status.ok()) return status;
  if (replace) {
    if (::rename(source.c_str(), target.c_str()) != 0) {
      return StatusFromErrno(errno, "rename", BothPaths(from, to));
    }
    return Status::Ok();
  }
  // A hard link never overwrites: the target appears whole, or the call fails with EEXIST.
  if (::link(source.c_str(), target.c_str()) != 0) {
    return StatusFromErrno(errno, "rename", BothPaths(from, to));
  }
  if (::unlink(source.c_str()) != 0) {
    const int err = errno;
    ::unlink(target.c_str());
    return StatusFromErrno(err, "rename", from);
  }
  return Status::Ok();
}

Status PosixFileSystem::CopyToNewFile(const std::string& from, const std::string& to) {
  std::string source;
  std::string target;
  if (Status status = MapPath(from, source); !status.ok()) return status;
  if (Status status = MapPath(to, target); !status.ok()) return status;
  if (const CopyFailure failure = CopyInto(source, target); failure.err != 0) {
    return StatusFromErrno(failure.err, "copy", failure.at_source ? from : to);
  }
  return Status::Ok();
}

Status PosixFileSystem::SetReadOnly(const std::string& path, bool read_only) {
  std::string mapped;
  if (Status status = MapPath(path, mapped); !status.ok()) return status;
  struct stat info {};
  if (::stat(mapped.c_str(), &info) != 0) return StatusFromErrno(errno, "set attributes", path);
  // The read-only attribute is the write bits, as Wine shows it.
  const mode_t mode = read_only ? (info.st_mode & 07555) : (info.st_mode & 07777) | 0200;
  if (::chmod(mapped.c_str(), mode) != 0) return StatusFromErrno(errno, "set attributes", path);
  return Status::Ok();
}

bool PosixFileSystem::SameFolder(const std::string& a, const std::string& b) {
  std::string first;
  std::string second;
  if (!MapPath(a, first).ok() || !MapPath(b, second).ok()) return false;
  struct stat first_info {};
  struct stat second_info {};
  return ::stat(first.c_str(), &first_info) == 0 && ::stat(second.c_str(), &second_info) == 0 &&
         S_ISDIR(first_info.st_mode) && S_ISDIR(second_info.st_mode) &&
         first_info.st_dev == second_info.st_dev && first_info.st_ino == second_info.st_ino;
}

}  // namespace setup
