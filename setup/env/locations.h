#pragma once
// Where the installer reads from and writes to, and the Windows-folder lookup of module setup1.

#include <string>
#include <string_view>

#include "setup/platform/status.h"
#include "setup/platform/system.h"

namespace setup {

inline constexpr std::string_view kProductWord = "Tessaradyne";

// Set once per process by the install run's location step, read-only afterwards.
struct InstallLocations {
  std::string SourceDir;        // folder of the running program, e.g. D:\SETUP or E:\ (UTF-8)
  std::string WindowsDir;       // system directory up to its last backslash, e.g. C:\WINDOWS\ .
  std::string InstallDir;       // e.g. C:\Tessaradyne
  std::string InstallDirSlash;  // e.g. C:/Tessaradyne
};

// A path inside a folder, joined with one backslash. A drive root ("E:\") gives a doubled one,
// which Windows reads as the same path.
std::string InFolder(std::string_view folder, std::string_view name);

// The first `count` characters (not bytes) of a UTF-8 text; the whole text when shorter.
std::string Utf8Prefix(std::string_view text, std::size_t count);

// Everything up to and including the last backslash, or the empty text when there is none.
void UpToLastBackslash(std::string_view text, std::string& result);

// Fills `windows_dir` from the system directory. Fails when the directory cannot be obtained or
// holds no backslash: a folder without one would put the install folder relative to the
// current directory.
Status GetWindowsDir(System& system, std::string& windows_dir);

// Sets InstallDir and InstallDirSlash from WindowsDir: the install folder is always on the drive
// of the system directory, whatever drive the installer runs from.
void DeriveInstallDirs(InstallLocations& locations);

}  // namespace setup
