// What the system a scenario runs on offers, and the package's run on a PC (package=1): its
// folders beside driver.exe, the folders outside it used only when absent or left by an earlier
// run of the package, and the PC left as it was found.

#include <cwctype>

#include "tests/e2e/driver.h"

namespace e2e {
namespace {
fs::path g_claims;  // the scratch folder's list of the folders outside it that the run makes
std::vector<fs::path> g_claimed;
std::set<fs::path> g_earlier;  // those an earlier run listed
UINT g_console = 0;            // the console's output code page before the run

bool Exists(const fs::path& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether the package may use `folder`: absent, or made by an earlier run. Listed before use, so
// that a run that dies half way leaves it to the next.
bool Claim(const fs::path& folder) {
  if (Exists(folder) && !g_earlier.contains(folder)) return false;
  g_claimed.push_back(folder);
  string list;
  for (const fs::path& each : g_claimed) list += Utf8(each.wstring()) + "\n";
  return Write(g_claims, list);
}

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
  if (!opt[L"cross"].empty() || g_claims.empty())
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

bool Admin() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  BOOL member = FALSE;
  AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                           0, 0, &admins);
  CheckTokenMembership(nullptr, admins, &member);
  FreeSid(admins);
  return member;
}

// Whether a version.dll beside dll_probe.exe is the one it loads.
bool Plantable() {
  const fs::path dir = fs::path(opt[L"work"]) / L"plant-probe", programs = opt[L"programs"];
  const Files probe = {{"dll_probe.exe", Read(programs / "dll_probe.exe").value_or("")},
                       {"version.dll", Read(programs / "planted" / "version.dll").value_or("")}};
  if (Lay(dir, probe)) ExitCode(Start(dir / "dll_probe.exe"), 20000);
  const bool loaded = Exists(dir / "version.dll.loaded");
  Remove(dir);
  return loaded;
}

string WineVersion() {
  using Version = const char*(CDECL*)();
  return reinterpret_cast<Version>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")))();
}

bool Once(std::optional<bool>& known, bool (*probe)()) {
  return known ? *known : *(known = probe());
}

bool OneVolume() {
  return !MovesAcross(opt[L"work"]);
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
  static std::optional<bool> admin, second, one, plantable;
  const UINT acp = GetACP(), dpi = GetDpiForSystem();
  static const string volume = WorkFileSystem();
  const struct {
    unsigned need;
    std::function<bool()> met;
    string why;
  } kConditions[] = {
      {kWindows, [] { return !Wine(); },
       Wine() ? "under Wine " + WineVersion() + ": " + (s.wine_lacks ? s.wine_lacks : "") : ""},
      {kHostPrograms, Wine, "its link is made by a Linux program, through Wine"},
      {kAdmin, [] { return Once(admin, Admin); }, "needs an administrator"},
      {kSecondVolume, [] { return Once(second, SecondVolume); },
       "needs a second drive (another volume than C:'s), to move from"},
      {kOneVolume, [] { return Once(one, OneVolume); },
       "needs the package on C:'s volume, where moves rename: unzip it there"},
      {kCodePage932, [&] { return acp == 932; },
       F("needs code page 932 (Japanese Windows); here it is %u", acp)},
      {kCodePage1252, [&] { return acp == 1252; },
       F("needs code page 1252 (Western Windows); here it is %u", acp)},
      {kDpi144, [&] { return dpi == 144; }, F("needs 144 dpi (150 %%); here it is %u", dpi)},
      {kPlantable, [] { return Once(plantable, Plantable); },
       "a DLL beside a program is not loaded before the system's (under Wine only with "
       "WINEDLLOVERRIDES=version=n,b)"},
      {kNtfs, [&] { return volume == "NTFS"; }, "needs the package on NTFS; here it is " + volume},
      {kFat, [&] { return volume == "FAT32" || volume == "exFAT" || volume == "FAT"; },
       "needs the package on a FAT32 or exFAT volume (a USB stick); here it is " + volume},
      {kCloudFiles,
       [] { return GetFileAttributesW((RealSystem32() / L"cldapi.dll").c_str()) != ~0u; },
       "needs the Cloud Files API (Windows 10 1709 and later)"},
  };
  for (const auto& c : kConditions)
    if ((s.needs & c.need) && !c.met()) return c.why;
  return "";
}

// A 32-bit program on 64-bit Windows sees SysWOW64 as System32.
fs::path RealSystem32() {
  wchar_t windows[MAX_PATH];
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  return fs::path(windows) / (wow64 ? L"Sysnative" : L"System32");
}

// The package's defaults, beside driver.exe; false, having said why, when it must not run here.
bool PackageBegin() {
  wchar_t self[MAX_PATH], windows[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const fs::path here = fs::path(self).parent_path();
  for (const auto& [name, value] : {std::pair{L"setup", here / L"setup.exe"},
                                    {L"dist", here / L"dist"},
                                    {L"programs", here},
                                    {L"work", here / L"scratch"}})
    if (opt[name].empty()) opt[name] = value;
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (towupper(windows[0]) != L'C')
    return std::printf("e2e: Windows is on %lc: here; the scenarios expect it on C:\n", windows[0]),
           false;
  g_claims = fs::path(opt[L"work"]) / L"claims.txt";
  string earlier = Read(g_claims).value_or("");
  std::erase(earlier, '\r');
  for (size_t at = 0, end; (end = earlier.find('\n', at)) != string::npos; at = end + 1)
    g_earlier.insert(fs::path(Wide(earlier.substr(at, end - at))));
  std::error_code e;
  fs::create_directories(fs::path(opt[L"work"]) / L"temp", e);
  for (const fs::path& folder : {kInstall, kElsewhere})
    if (!Claim(folder))
      return std::printf("e2e: %s is there, not made by this package: nothing is run\n",
                         Utf8(folder.wstring()).c_str()),
             false;
  // An earlier run's; and what setup.exe or the checks put in %TEMP% goes with the scratch folder.
  Remove(kInstall), Remove(kElsewhere);
  for (const wchar_t* name : {L"TMP", L"TEMP"})
    SetEnvironmentVariableW(name, (fs::path(opt[L"work"]) / L"temp").c_str());
  g_console = GetConsoleOutputCP();
  SetConsoleOutputCP(CP_UTF8);
  return true;
}

// Removes what the run made; false, having said what is left, when something could not be.
bool PackageEnd() {
  string left;
  for (const fs::path& folder : g_claimed)
    if (!Remove(folder)) left += " " + Utf8(folder.wstring());
  // The list stays while anything is left, for the next run to take it.
  if (left.empty() && !Remove(opt[L"work"])) left += " " + Utf8(opt[L"work"]);
  if (!left.empty()) std::printf("FAIL leaving the PC as it was: left%s\n", left.c_str());
  if (g_console) SetConsoleOutputCP(g_console);
  return left.empty();
}
}  // namespace e2e
