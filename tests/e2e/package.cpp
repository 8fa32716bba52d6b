// The package's run on a PC (package=1): its folders beside driver.exe, the folders outside it
// used only when absent or left by an earlier run of the package, and the PC left as it was found.

#include <cwctype>

#include "tests/e2e/driver.h"

namespace e2e {
namespace {
fs::path g_claims;  // the scratch folder's list of the folders outside it that the run makes
std::vector<fs::path> g_claimed;
std::set<fs::path> g_earlier;  // those an earlier run listed
UINT g_console = 0;            // the console's output code page before the run
}  // namespace

// Whether the package may use `folder`: absent, or made by an earlier run. Listed before use, so
// that a run that dies half way leaves it to the next.
bool Claim(const fs::path& folder) {
  if (Exists(folder) && !g_earlier.contains(folder)) return false;
  g_claimed.push_back(folder);
  string list;
  for (const fs::path& each : g_claimed) list += Utf8(each.wstring()) + "\n";
  return Write(g_claims, list);
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
