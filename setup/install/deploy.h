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

// Creates the install folder and moves every tool file of the source folder into it, kinds in
// the order ".dvb", ".bmp", ".mns", each kind in listing order. On reinstall ".dvb" files, the
// first-listed ".mns" and the generated menu file replace their installed copies; other ".bmp"
// and ".mns" files keep the installed copy and stay in the source folder. Copies a killed run
// left in the install folder go first. Nothing is moved unless the install folder is a real
// folder (not a link). Never fails the run: returns the names of the tool files that are not in
// the install folder, which excludes files kept back by the reinstall rule, or the kinds
// ("*.dvb", ...) when the source folder cannot be listed.
std::vector<std::string> DeployProgramFiles(FileSystem& files, const InstallLocations& locations);

}  // namespace setup
