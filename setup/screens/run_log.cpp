#include "setup/screens/run_log.h"

#include "setup/env/locations.h"

namespace setup {

Status RunLog::Open(FileSystem& files, System& system, const std::string& path,
                    std::unique_ptr<RunLog>& log) {
  std::unique_ptr<WritableFile> file;
  if (Status s = files.OpenForAppending(path, file); !s.ok()) return s;
  log.reset(new RunLog(files, path, std::move(file)));
  // Worked out as the install run will, to say where it reads and writes before it starts.
  InstallLocations where;
  // A character, not "?": GCC 12 at -O3 takes assigning that literal here for an overlapping
  // copy (-Wrestrict), which fails the release build.
  if (!system.ApplicationPath(where.SourceDir).ok()) where.SourceDir = '?';
  if (GetWindowsDir(system, where.WindowsDir).ok()) DeriveInstallDirs(where);
  log->Line("Tessaradyne setup " SETUP_VERSION ": from " + where.SourceDir + " to " +
            (where.InstallDir.empty() ? "?" : where.InstallDir));
  return Status::Ok();
}

void RunLog::Write(std::string_view text, bool last) {
  std::string line;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text.compare(at, 2, "\r\n") == 0) {
      line += " / ";
      ++at;
    } else {
      line += text[at];
    }
  }
  line += "\r\n";
  if (file_->Append(line).ok()) return;
  // A handle that lost a write fails every later one, and a log on a share loses its handle when
  // the network drops for a moment; a new one may get through, and the log goes on. A share that
  // stays away can take seconds to refuse each open, on the thread the install runs on.
  if (unreachable_ && !last) return;
  std::unique_ptr<WritableFile> again;
  unreachable_ = !files_.OpenForAppending(path_, again).ok();
  if (unreachable_) return;
  file_ = std::move(again);
  (void)file_->Append(line);
}

}  // namespace setup
