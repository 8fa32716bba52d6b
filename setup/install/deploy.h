#pragma once
// Moves the tool's files (".dvb", ".bmp", ".mns") from the source folder into the install folder.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "setup/env/locations.h"
#include "setup/platform/file_system.h"

namespace setup {

enum class ToolFileKind { kNone, kDvb, kBmp, kMns };

// Decided by the last four characters of the name, in any case.
ToolFileKind KindOf(std::string_view name);

// Whether the folder holds anything to install: the template or a tool file. Explorer runs an exe
// double-clicked inside its zip alone, from a folder of its own. A folder that cannot be listed
// counts as holding them: the run says what stands in its way.
bool HoldsDistribution(FileSystem& files, const std::string& folder);

// What became of one tool file.
struct FilePlacing {
  enum How { kPlaced, kKept, kNotPlaced } how = kPlaced;
  std::string_view name;
  std::string_view cause;  // why it was not placed
};

// Creates the install folder and moves every tool file of the source folder into it, kinds in
// the order ".dvb", ".bmp", ".mns", each kind in listing order. On reinstall ".dvb" files, the
// first-listed ".mns" and the generated menu file replace their installed copies; other ".bmp"
// and ".mns" files keep the installed copy and stay in the source folder. Copies a killed run
// left in the install folder go first. Nothing is moved unless both folders are real folders (not
// links), held in place until the end, and no file that is a link is a tool file. Each file placed
// takes the permissions the install folder passes on, remade there as a copy where they cannot be
// changed (its owner is someone else). `report` hears what became of each file as soon as it is
// known. Never fails the run. Returns what the completion must name as not installed: files (those
// kept back by the reinstall rule are no failure), kinds ("*.dvb") where which files is not known,
// and "*.dvb" when the install folder ends without the tool's program.
std::vector<std::string> DeployProgramFiles(FileSystem& files, const InstallLocations& locations,
                                            const std::function<void(const FilePlacing&)>& report);

}  // namespace setup
