// What the system a scenario runs on offers it, told once and only for a scenario that is to run.

#include "tests/e2e/driver.h"
// After windows.h, which it builds on.
#include <shlobj.h>

namespace e2e {
namespace {
// Whether a file moved from `folder` to drive C: is copied there: another volume.
bool MovesAcross(const fs::path& folder) {
  const fs::path from = folder / L"volume-probe", to = kElsewhere / L"volume-probe";
  std::error_code e;
  fs::create_directories(kElsewhere, e);
  const bool across = Write(from, "") && !MoveFileExW(from.c_str(), to.c_str(), 0) &&
                      GetLastError() == ERROR_NOT_SAME_DEVICE;
  Remove(from), Remove(kElsewhere);
  return across;
}

// cross=, or else in the package a folder of its own on the first other volume found.
bool SecondVolume() {
  if (!opt[L"cross"].empty() || opt[L"package"].empty())
    return !opt[L"cross"].empty() && MovesAcross(opt[L"cross"]);
  // A card reader without a card says so without a box.
  DWORD mode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS, &mode);
  for (wchar_t d = L'D'; d <= L'Z' && opt[L"cross"].empty(); ++d) {
    const std::wstring root = {d, L':', L'\\'};
    const UINT type = GetDriveTypeW(root.c_str());
    const fs::path folder = root + L"Tessaradyne-e2e";
    std::error_code e;
    // Under Wine, Z: is the host's root.
    if ((type != DRIVE_FIXED && type != DRIVE_REMOVABLE) || (d == L'Z' && Wine()) || !Claim(folder))
      continue;
    if (fs::create_directory(folder, e) && MovesAcross(folder))
      opt[L"cross"] = folder;
    else
      Remove(folder);
  }
  SetThreadErrorMode(mode, nullptr);
  return !opt[L"cross"].empty();
}

// Windows loads a DLL beside a program before the system's unless it is a known one; Wine only
// where told to, as run.sh's planted lane does.
bool Plantable() {
  wchar_t overrides[1024] = L"";
  GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 1024);
  return !Wine() || wcsstr(overrides, L"version");
}

// The file system of the work folder's volume: "NTFS", "FAT32", "exFAT", ...
string WorkFileSystem() {
  wchar_t root[MAX_PATH] = L"", name[MAX_PATH] = L"";
  GetVolumePathNameW(fs::path(opt[L"work"]).c_str(), root, MAX_PATH);
  GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH);
  return Utf8(name);
}
}  // namespace

// Empty when the system offers all the scenario needs. Probes are made once, and only for a
// scenario that is to run.
string SkipReason(const Scenario& s) {
  const UINT dpi = GetDpiForSystem();
  static const string volume = WorkFileSystem();
  const struct {
    unsigned need;
    std::function<bool()> met;
    string why;
  } kConditions[] = {
      {kWindows, [] { return !Wine(); },
       Wine() ? "under Wine " + string(WineVersion()) + ": " + (s.wine_lacks ? s.wine_lacks : "")
              : ""},
      {kAdmin, [] { return IsUserAnAdmin() != FALSE; }, "needs an administrator"},
      {kSecondVolume, SecondVolume,
       "needs a second drive (another volume than C:'s), to move from"},
      {kOneVolume, [] { return !MovesAcross(opt[L"work"]); },
       "needs the package on C:'s volume, where moves rename: unzip it there"},
      {kDpi144, [&] { return dpi == 144; }, F("needs 144 dpi (150 %%); here it is %u", dpi)},
      {kPlantable, Plantable,
       "a DLL beside a program is not loaded before the system's (under Wine only with "
       "WINEDLLOVERRIDES=version=n,b)"},
      {kNtfs, [&] { return volume == "NTFS"; }, "needs the package on NTFS; here it is " + volume},
      {kFat, [&] { return volume == "FAT32" || volume == "exFAT" || volume == "FAT"; },
       "needs the package on a FAT32 or exFAT volume (a USB stick); here it is " + volume},
      {kCloudFiles, [] { return Exists(RealSystem32() / L"cldapi.dll"); },
       "needs the Cloud Files API (Windows 10 1709 and later)"},
  };
  static std::map<unsigned, bool> met;  // each probe made once
  for (const auto& c : kConditions)
    if ((s.needs & c.need) && !(met.contains(c.need) ? met[c.need] : (met[c.need] = c.met())))
      return c.why;
  return "";
}
}  // namespace e2e
