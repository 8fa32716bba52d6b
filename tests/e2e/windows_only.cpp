// Rows that only Windows proves, where Wine does not do what Windows does: each names what Wine
// lacks, which the driver says when it skips the row there, and may arrange more before
// setup.exe starts.

#include "tests/e2e/driver.h"

namespace e2e {
namespace {
// The tool files, as someone who keeps them to himself leaves them: a protected DACL that lets
// only their owner in. Installed, each must end with the folder's permissions (CheckFiles).
void ProtectSources(Ctx& c) {
  for (const auto& [name, bytes] : c.before) {
    if (!IsTool(name)) continue;
    const bool set = SetDacl(c.dir / name, L"D:P(A;;FA;;;OW)");
    const string dacl = Dacl(c.dir / name);
    c.Check(set && dacl == "D:P(A;;FA;;;OW)", name + " is not owner-only: " + dacl);
  }
}

void StartHidden(Ctx& c) {
  c.show = SW_HIDE;
}

void WatchHung(Ctx& c) {
  c.watch_hung = true;
}

// A .dvb and org_TOOL that Windows compressed to save space (compact /exe, as Storage Sense and
// CompactOS do): reparse points of their own, IO_REPARSE_TAG_WOF, whose data the file system's
// filter serves; read as themselves, they would give holes. Large enough to be compressed.
void CompressToolFiles(Ctx& c) {
  string lines;
  for (int i = 0; lines.size() < 256 * 1024; ++i) lines += F("; line %d of the macro\r\n", i);
  for (const char* name : {"Tessaradyne.dvb", "org_TOOL"}) {
    const fs::path file = c.dir / name;
    c.Check(Write(file, c.before[name] + lines), "could not write " + Utf8(file.wstring()));
    ExitCode(
        Start(RealSystem32() / L"compact.exe", L" /c /exe:xpress4k \"" + file.wstring() + L"\""),
        60000);
    c.Check(ReparseTag(file) == IO_REPARSE_TAG_WOF,
            F("compact left %s uncompressed (tag %lx)", name, ReparseTag(file)));
  }
  c.before = Folder(c.dir).value_or(Files{});
}

// The Cloud Files API as far as the row needs it (cfapi.h, which MinGW lacks).
struct CfSyncRegistration {
  ULONG size;
  LPCWSTR provider, version;
  LPCVOID root_identity;
  DWORD root_identity_length;
  LPCVOID file_identity;
  DWORD file_identity_length;
  GUID provider_id;
};
struct CfSyncPolicies {
  ULONG size;
  USHORT hydration, hydration_modifier, population, population_modifier;
  ULONG in_sync, hard_link, placeholder_management;
};
using CfRegister = HRESULT(WINAPI*)(LPCWSTR, const CfSyncRegistration*, const CfSyncPolicies*,
                                    ULONG);
using CfConvert = HRESULT(WINAPI*)(HANDLE, LPCVOID, DWORD, ULONG, LONGLONG*, OVERLAPPED*);
using CfUnregister = HRESULT(WINAPI*)(LPCWSTR);

// The distribution as OneDrive leaves a synced folder after download: the folder a sync root
// (registered here; no provider runs) and each file a placeholder marked in sync, whole on the
// disk and tagged IO_REPARSE_TAG_CLOUD_*.
void MakePlaceholders(Ctx& c) {
  const HMODULE cloud = LoadLibraryExW(L"cldapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  const auto find = [&](const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(cloud, name));
  };
  const auto enroll = reinterpret_cast<CfRegister>(find("CfRegisterSyncRoot"));
  const auto convert = reinterpret_cast<CfConvert>(find("CfConvertToPlaceholder"));
  const auto unregister = reinterpret_cast<CfUnregister>(find("CfUnregisterSyncRoot"));
  if (!c.Check(enroll && convert && unregister, "no Cloud Files API")) return;
  const CfSyncRegistration registration{sizeof registration, L"Tessaradyne e2e", L"1"};
  // Hydration FULL (2) and population ALWAYS_FULL (3): every file and folder stays whole.
  const CfSyncPolicies policies{sizeof policies, 2, 0, 3, 0, 0, 0, 0};
  const HRESULT made = enroll(c.dir.c_str(), &registration, &policies, 0);
  if (!c.Check(SUCCEEDED(made), F("CfRegisterSyncRoot failed (%08lx)", ULONG(made)))) return;
  c.undo.push_back([root = c.dir, unregister] { unregister(root.c_str()); });
  for (const auto& [name, bytes] : c.before) {
    const fs::path file = c.dir / name;
    const Handle h(CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    const HRESULT converted = convert(h.get(), nullptr, 0, 1 /* MARK_IN_SYNC */, nullptr, nullptr);
    c.Check(SUCCEEDED(converted) && (ReparseTag(file) & 0xFFFF0FFF) == 0x9000001A,
            F("%s is no placeholder (%08lx, tag %lx)", name.c_str(), ULONG(converted),
              ReparseTag(file)));
  }
}

// The linked .dvb a symbolic link instead of a second name: what a developer-mode user or an
// administrator may make.
void SymbolicLink(Ctx& c) {
  const fs::path link = c.dir / "linked.dvb";
  c.Check(DeleteFileW(link.c_str()) &&
              CreateSymbolicLinkW(link.c_str(), kVictim.c_str(),
                                  SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
              IsLink(link),
          F("no symbolic link made (%lu)", GetLastError()));
}
}  // namespace

std::vector<Scenario> WindowsOnly() {
  // clang-format off
  return {
      {"inherited-permissions", 0, kToQuestion + kInstalls, kWindows | kOneVolume, "keeps no DACL",
       ProtectSources},
      {"hidden-start", 0, Steps{Screen(0), Click(kLeave)} + kLeft, kWindows,
       "ignores the show state a start asks for", StartHidden},
      {"lock-waits-never-hung", kLocked, kToQuestion + kRefused, kWindows,
       "never calls a window hung", WatchHung},
      {"symlinked-tool-file", kSilent | kLogged | kLinkedTool,
       {QuietlyExits(3), Installed(), Logs(3)}, kWindows | kOneVolume | kAdmin,
       "shows a symbolic link to a file as a plain file", SymbolicLink},
      {"compressed-tool-file", kSilent | kLogged, {QuietlyExits(0), Installed(), Logs(0)},
       kWindows | kNtfs, "compresses no file (compact /exe)", CompressToolFiles},
      {"cloud-placeholders", 0, kToQuestion + kInstalls, kWindows | kNtfs | kCloudFiles,
       "has no cloud files (OneDrive's placeholders)", MakePlaceholders},
      {"from-fat-volume", kSilent | kLogged, {QuietlyExits(0), Installed(), Logs(0)},
       kWindows | kFat, "shows every volume as NTFS"},
  };
  // clang-format on
}
}  // namespace e2e
