#include "setup/install/patient_file_system.h"

#include <utility>

namespace setup {

namespace {

// About 2 s for one operation: long enough for a scanner to finish with a small file.
constexpr std::uint32_t kPausesMs[] = {50, 100, 200, 400, 500, 500};

}  // namespace

template <class Op>
Status PatientFileSystem::Patiently(const std::string& path, Op op) {
  Status s = op();
  for (const std::uint32_t pause : kPausesMs) {
    const bool locked = s.code() == StatusCode::kSharingViolation ||
                        (s.code() == StatusCode::kAccessDenied &&
                         (path.empty() || !inner_.Inspect(path).read_only));
    if (!locked || waited_ms_ + pause > kMaxWaitMs) break;
    system_.Wait(pause);
    waited_ms_ += pause;
    s = op();
  }
  return s;
}

Status PatientFileSystem::OpenForWriting(const std::string& path,
                                         std::unique_ptr<WritableFile>& file) {
  return Patiently(path, [&] { return inner_.OpenForWriting(path, file); });
}

Status PatientFileSystem::Remove(const std::string& path) {
  return Patiently(path, [&] { return inner_.Remove(path); });
}

Status PatientFileSystem::Rename(const std::string& from, const std::string& to, bool replace) {
  // Renaming a read-only file is allowed; replacing one is not.
  return Patiently(replace ? to : std::string(), [&] { return inner_.Rename(from, to, replace); });
}

Status PatientFileSystem::CopyToNewFile(const std::string& from, const std::string& to) {
  bool tried = false;
  return Patiently({}, [&] {
    // What a failed try left at `to` is part of this copy: anything there before would have
    // failed the first try for good.
    if (std::exchange(tried, true)) (void)inner_.Remove(to);
    return inner_.CopyToNewFile(from, to);
  });
}

Status PatientFileSystem::HoldFolder(const std::string& path, std::unique_ptr<FolderHold>& hold) {
  // A scanner opening the install folder for a moment would otherwise name every file.
  return Patiently({}, [&] { return inner_.HoldFolder(path, hold); });
}

}  // namespace setup
