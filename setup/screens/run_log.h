#pragma once
// The log a deployment tool asks for: UTF-8 text, one line per event, each handed to the system
// as it happens, so that a run killed half way leaves the lines it had reached.

#include <memory>
#include <string>
#include <string_view>

#include "setup/platform/file_system.h"
#include "setup/platform/system.h"

namespace setup {

class RunLog {
 public:
  // Appends to the file at `path`, making it if it is missing, so that repeated runs read in
  // order. The first line names the program's version, the source folder and the install folder.
  static Status Open(FileSystem& files, System& system, const std::string& path,
                     std::unique_ptr<RunLog>& log);

  // Adds one line; line breaks inside it become " / ". A line that cannot be written is tried
  // once more on the file opened anew, then lost, not the run's failure. Once the file could not
  // be opened anew, later lines are not tried again, but for the exit status.
  void Line(std::string_view text) { Write(text, false); }
  // The last line: the status the program exits with.
  void Exit(int exit_code) { Write("exit: " + std::to_string(exit_code), true); }

 private:
  RunLog(FileSystem& files, std::string path, std::unique_ptr<WritableFile> file)
      : files_(files), path_(std::move(path)), file_(std::move(file)) {}
  void Write(std::string_view text, bool last);

  FileSystem& files_;
  const std::string path_;
  std::unique_ptr<WritableFile> file_;
  bool unreachable_ = false;  // opening it anew failed
};

}  // namespace setup
