#pragma once
// Moves the tool's files (".dvb", ".bmp", ".mns") from the source folder into the install folder.

#include <string>
#include <string_view>
#include <vector>

#include "setup/env/locations.h"
#include "setup/platform/file_system.h"

namespace setup {

enum class ToolFileKind { kNone, kDvb, kBmp, kMns };

// Decided by the last four characters of the name, in any case.
ToolFileKind KindOf(std::string_view name);

// What became of one tool file.
struct FilePlacing {
  enum How { kPlaced, kKept, kNotPlaced } how = kPlaced;
  std::string name;
  std::string cause;  // why it was not placed
};

struct DeployOutcome {
  std::vector<FilePlacing> files;  // each tool file of the source folder, in the order handled
  // What the completion must name as not installed: files, or kinds ("*.dvb") where which files
  // is not known, and "*.dvb" when the install folder ends without the tool's program.
  std::vector<std::string> unplaced;
};

// Creates the install folder and moves every tool file of the source folder into it, kinds in
// the order ".dvb", ".bmp", ".mns", each kind in listing order. On reinstall ".dvb" files, the
// first-listed ".mns" and the generated menu file replace their installed copies; other ".bmp"
// and ".mns" files keep the installed copy and stay in the source folder. Copies a killed run
// left in the install folder go first. Nothing is moved unless the install folder is a real
// folder (not a link), which is held in place until the end. Each file placed takes the
// permissions the install folder passes on. Never fails the run: files kept back by the
// reinstall rule are no failure.
DeployOutcome DeployProgramFiles(FileSystem& files, const InstallLocations& locations);

}  // namespace setup
