// Rows that only Windows proves, where Wine does not do what Windows does: each names what Wine
// lacks, which the driver says when it skips the row there, and may arrange more before
// setup.exe starts.

#include "tests/e2e/driver.h"
// After windows.h, which they build on.
#include <aclapi.h>
#include <sddl.h>

#include <memory>

namespace e2e {
namespace {
struct Dacl {
  bool protect, inherited_only;
  DWORD entries;
};

std::optional<Dacl> DaclOf(const fs::path& file) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
    return std::nullopt;
  const std::shared_ptr<void> release(sd, LocalFree);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ACL_SIZE_INFORMATION size{};
  GetSecurityDescriptorControl(sd, &control, &revision);
  if (!dacl || !GetAclInformation(dacl, &size, sizeof size, AclSizeInformation))
    return std::nullopt;
  Dacl d{(control & SE_DACL_PROTECTED) != 0, true, size.AceCount};
  for (DWORD i = 0; i < size.AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    d.inherited_only &=
        GetAce(dacl, i, reinterpret_cast<void**>(&ace)) && (ace->AceFlags & INHERITED_ACE) != 0;
  }
  return d;
}

// The tool files, as someone who keeps them to himself leaves them: a protected DACL that lets
// only their owner in.
void ProtectSources(Ctx& c) {
  PSECURITY_DESCRIPTOR owner_only = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;OW)", SDDL_REVISION_1,
                                                       &owner_only, nullptr);
  const std::shared_ptr<void> release(owner_only, LocalFree);
  for (const auto& [name, bytes] : c.before) {
    const fs::path file = c.dir / name;
    const auto dacl =
        IsTool(name) && SetFileSecurityW(file.c_str(), DACL_SECURITY_INFORMATION, owner_only)
            ? DaclOf(file)
            : std::nullopt;
    c.Check(!IsTool(name) || (dacl && dacl->protect && dacl->entries == 1),
            name + " is not owner-only");
  }
}

// Each file in C:\Tessaradyne has the folder's permissions, inherited, nothing of its own.
bool Inherited(Ctx& c) {
  const Files installed = Folder(kInstall).value_or(Files{});
  for (const auto& [name, bytes] : installed) {
    const auto dacl = DaclOf(kInstall / name);
    c.Check(
        dacl && !dacl->protect && dacl->inherited_only && dacl->entries > 0,
        name + F(": %s DACL, %s", dacl && dacl->protect ? "a protected" : "an open",
                 dacl && dacl->inherited_only ? "inherited entries only" : "entries of its own"));
  }
  return c.Check(installed.size() > 1, "nothing installed to look at");
}

void StartHidden(Ctx& c) {
  c.show = SW_HIDE;
}

void WatchHung(Ctx& c) {
  c.watch_hung = true;
}

// C:\Tessaradyne a junction to C:\elsewhere: a mount point, which any user may make on an empty
// folder of his own.
void MakeJunction(Ctx& c) {
  std::error_code e;
  fs::create_directory(kElsewhere, e);
  c.Check(CreateDirectoryW(kInstall.c_str(), nullptr) && SetJunction(kInstall, kElsewhere),
          F("C:\\Tessaradyne is no junction (%lu)", GetLastError()));
  for (const auto& [name, bytes] : c.before)
    if (IsTool(name)) c.unplaced.insert(name);
  c.unplaced.insert(kMenu);
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
  const Steps refused = kToQuestion + Steps{{kRun}, {kExit, 3}, {kInstalled}};
  // clang-format off
  return {
      {"inherited-permissions", 0, kToQuestion + kInstalls + Steps{{kCall, 0, 0, 0, Inherited}},
       kWindows | kOneVolume, "keeps no DACL", ProtectSources},
      {"hidden-start", 0, Steps{{kScreen, 0}, {kClick, kLeave}} + kLeft, kWindows,
       "ignores the show state a start asks for", StartHidden},
      {"lock-waits-never-hung", kLocked, refused, kWindows,
       "never calls a window hung", WatchHung},
      {"install-folder-is-junction", 0, refused, kWindows,
       "makes no mount points", MakeJunction},
      {"symlinked-tool-file", kSilent | kLogged | kLinkedTool,
       {{kQuiet, 3}, {kInstalled}, {kLog, 3}}, kWindows | kOneVolume | kAdmin,
       "shows a symbolic link to a file as a plain file", SymbolicLink},
  };
  // clang-format on
}
}  // namespace e2e
