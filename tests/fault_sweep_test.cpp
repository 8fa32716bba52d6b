// The whole install, driven through the program's screens with quiet forms, with every
// file-system call of the run failed in turn: before it takes effect, after it (an answer lost
// half way), or by throwing, as where memory runs out; with each kind of failure. No tool file may
// be lost, no temporary left, and the last message and the exit status must tell the truth.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "setup/screens/setup1.h"
#include "setup/screens/user_form1.h"
#include "setup/screens/user_form2.h"
#include "tests/menu_oracle.h"
#include "tests/support/fault_file_system.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/quiet_forms.h"
#include "tests/support/test_system.h"
#include "tests/texts.h"

namespace setup::testing {
namespace {

using Names = std::set<std::string>;

// 作成 (8D EC 90 AC) and ツール (83 63 81 5B 83 8B) around placeholders; no line end at the end.
const std::string kTemplate =
    "ID_TdDraw [\x8D\xEC\x90\xAC]^C^C-vbarun \"xxxxxTessaradyne.dvb!Draw.Start\"\r\n"
    "ID_TdDrawB [_Button(\"\x83\x63\x81\x5B\x83\x8B\", \"xxxxxTdDraw16.bmp\")]";
// Read-only, as from a CD; the kinds are told by their endings in any case.
const Files kToolFiles = {{"Tessaradyne.dvb", "new dvb"},
                          {"TdLabel.DVB", "new label dvb"},
                          {"TdDraw16.Bmp", "new bmp 16"},
                          {"TdExtra.mns", "new extra menu"}};
// Never moved: no tool's ending, hidden, or in a sub-folder.
const Files kOtherFiles = {
    {"tool.dvbx", "x"}, {"toolmns", "m"}, {".hidden.dvb", "h"}, {"sub.dvb/inner.dvb", "i"}};
using namespace texts;

enum class Mode { kBefore, kAfter, kThrow };

struct Sweep {
  std::size_t runs = 0, faults = 0;
};

// The disk, and the program's view of it, which fails where a test says.
struct Disk {
  MemoryFileSystem memory;
  FaultFileSystem files{memory};
};

// Where the installer runs from, and the system directory in the ANSI code page, which gives the
// install folder's drive.
struct Pass {
  const char *source, *system_dir, *install, *slash;
};
// From a CD on another drive than the system's, where placing copies and removes the read-only
// sources; from a folder on the system's drive, where it renames; the Windows folder's name holds
// 表 (95 5C), whose trail byte is a backslash.
constexpr Pass kPasses[] = {
    {"E:\\SETUP", "C:\\WINDOWS\\system32", "C:\\Tessaradyne", "C:/Tessaradyne/"},
    {"D:\\SETUP", "D:\\\x95\x5C\x8E\xA6\\system32", "D:\\Tessaradyne", "D:/Tessaradyne/"}};

// Agrees, goes on, starts and answers Yes; `at_start` runs just before the progress screen's
// activation, which is the install run.
void Install(Disk& disk, System& system, QuietForms& forms, const std::function<void()>& at_start) {
  Program program(Platform{forms, forms, system, disk.files});
  Main(program);
  forms.current->Click(UserForm1::Command3);
  forms.current->Click(UserForm1::Command1);
  forms.current->Click(UserForm2::CommandButton1);
  at_start();
  forms.current->Activate();
}

// One install with the run's call `n` failing (0: none). Returns the calls.
std::size_t InstallWithFault(const Pass& pass, bool reinstall, std::size_t n, StatusCode code,
                             Mode mode, Sweep& sweep) {
  Disk disk;
  const std::string source = pass.source, install = pass.install;
  auto& memory = disk.memory;
  memory.Put(source, kToolFiles, {.read_only = true});
  memory.Put(source, kOtherFiles);
  memory.SetAttributes(source + "\\.hidden.dvb", {.hidden = true});
  memory.Put(source + "\\org_TOOL", kTemplate);
  Files old;
  if (reinstall) {
    for (const auto& [name, bytes] : kToolFiles) old[name] = "old " + name;
    old["TessaradyneTOOL.mns"] = "old menu";
    memory.Put(install, old);
    memory.SetAttributes(install + "\\Tessaradyne.dvb", {.read_only = true});
    // An older menu file beside the template, read-only, and a temporary one a killed run left.
    memory.Put(source + "\\TessaradyneTOOL.mns", "older", {.read_only = true});
    memory.Put(source + "\\TessaradyneTOOL.tmp", "killed");
  }
  QuietForms forms;
  TestSystem system(source, pass.system_dir);
  Install(disk, system, forms,
          [&] { disk.files.FailCall(n, code, mode == Mode::kAfter, mode == Mode::kThrow); });
  const std::string& failed = disk.files.failed();
  SCOPED_TRACE(std::string(reinstall ? "reinstall" : "first install") + " from " + source +
               ", call " + std::to_string(n) + " failing " + std::to_string(int(mode)) + " (" +
               failed + ") with " + std::to_string(int(code)));
  ++sweep.runs;
  sweep.faults += failed.empty() ? 0 : 1;
  if (forms.boxes.size() != 2 || forms.exit_codes.size() != 1) {
    return ADD_FAILURE() << forms.boxes.size() << " boxes, " << forms.exit_codes.size(), 0u;
  }
  const auto& [said, flags] = forms.boxes[1];
  const bool unexpected = said.starts_with("セットアップ中に予期しないエラーが発生しました。");
  const bool aborted = unexpected || said.ends_with(kAbort);
  const bool incomplete = said.starts_with(kIncomplete);
  // A throw ends the install as an unexpected failure; only reading the template and writing the
  // menu file may stop it otherwise, each with its reason.
  EXPECT_EQ(unexpected, mode == Mode::kThrow && !failed.empty()) << said;
  const bool reading = failed.starts_with("open ") || failed.starts_with("read ");
  if (!unexpected && (reading || aborted)) {
    EXPECT_EQ(said, (!reading                                                      ? kUnwritable
                     : failed.starts_with("open") && code == StatusCode::kNotFound ? kNoTemplate
                                                                                   : kUnreadable) +
                        kAbort);
    EXPECT_TRUE(reading || failed.find("TessaradyneTOOL.") != failed.npos) << failed;
  }
  EXPECT_EQ(forms.exit_codes[0], aborted      ? kExitAborted
                                 : incomplete ? kExitIncomplete
                                              : kExitInstalled);
  EXPECT_EQ(flags, kMbOk | (aborted      ? kMbIconError
                            : incomplete ? kMbIconWarning
                                         : kMbIconInformation));
  Names named;
  for (std::size_t at = said.find("\r\n"); at != said.npos; at = said.find("\r\n", at + 2)) {
    named.insert(said.substr(at + 2, said.find("\r\n", at + 2) - at - 2));
  }
  // Without a failure everything is placed: read-only sources, read-only copies replaced.
  EXPECT_TRUE(n != 0 || (named.empty() && !aborted)) << said;
  // The menu file is a tool file like the others once made; an abort leaves none of this run,
  // and an unexpected failure may come before or after it is made.
  const std::string menu = OracleMenu(kTemplate, true, pass.slash);
  const bool menu_made = memory.Get(source + "\\TessaradyneTOOL.mns") == menu ||
                         memory.Get(install + "\\TessaradyneTOOL.mns") == menu;
  Files expected = kToolFiles;
  if (!aborted || (unexpected && menu_made)) expected["TessaradyneTOOL.mns"] = menu;
  for (const auto& [name, bytes] : expected) {
    const auto left = memory.Get(source + "\\" + name);
    const auto installed = memory.Get(install + "\\" + name);
    if (installed == bytes) {
      EXPECT_FALSE(named.contains(name)) << name << " named but installed";
      EXPECT_TRUE(memory.IsDurable(install + "\\" + name)) << name << " not on the disk";
      continue;
    }
    if (left != bytes) {
      ADD_FAILURE() << name << " is whole in neither folder";
      continue;
    }
    // Not installed: an old copy keeps its bytes and its read-only mark, and the file is named
    // unless kept back by design (an installed bitmap or second menu) or the install stopped.
    EXPECT_EQ(installed, old.empty() ? std::nullopt : std::optional(old.at(name))) << name;
    if (installed && name == "Tessaradyne.dvb") {
      EXPECT_TRUE(memory.IsReadOnly(install + "\\" + name));
    }
    const bool kept = installed && (name == "TdDraw16.Bmp" || name == "TdExtra.mns");
    std::string kind = "*" + name.substr(name.size() - 4);
    std::ranges::transform(kind, kind.begin(), [](char c) { return char(std::tolower(c)); });
    EXPECT_TRUE(aborted || kept || named.contains(name) || named.contains(kind))
        << name << " not named";
  }
  if (aborted && !unexpected) {
    // No menu file of this run, neither installed nor beside the template.
    EXPECT_EQ(memory.Get(install + "\\TessaradyneTOOL.mns"),
              old.empty() ? std::nullopt : std::optional<std::string>("old menu"));
    EXPECT_EQ(memory.Get(source + "\\TessaradyneTOOL.mns"),
              old.empty() ? std::nullopt : std::optional<std::string>("older"));
  }
  for (const auto& [name, bytes] : kOtherFiles) EXPECT_EQ(memory.Get(source + "\\" + name), bytes);
  for (const std::string& folder : {source, install}) {
    for (const auto& [name, bytes] : memory.Contents(folder)) {
      // The killed run's temporary file too, unless removing it was what failed.
      EXPECT_TRUE((name != "TessaradyneTOOL.tmp" || failed.ends_with(name)) &&
                  name.find(".~setup-") == name.npos)
          << name << " left in " << folder;
    }
  }
  return disk.files.calls();
}

TEST(FaultSweepTest, NoFailureOfAnyCallLosesAFileOrMisreportsTheInstall) {
  const StatusCode codes[] = {StatusCode::kNotFound, StatusCode::kAccessDenied,
                              StatusCode::kSharingViolation, StatusCode::kDiskFull};
  Sweep sweep;
  for (const Pass& pass : kPasses) {
    for (bool reinstall : {false, true}) {
      const std::size_t calls =
          InstallWithFault(pass, reinstall, 0, StatusCode::kOk, Mode::kBefore, sweep);
      EXPECT_GT(calls, 20u);
      for (std::size_t n = 1; n <= calls; ++n) {
        for (StatusCode code : codes) {
          for (Mode mode : {Mode::kBefore, Mode::kAfter}) {
            InstallWithFault(pass, reinstall, n, code, mode, sweep);
          }
        }
        InstallWithFault(pass, reinstall, n, StatusCode::kOk, Mode::kThrow, sweep);
      }
    }
  }
  std::cout << "fault sweep: " << sweep.runs << " runs, " << sweep.faults << " faults injected\n";
}

TEST(FaultSweepTest, ASystemFolderThatCannotServeStopsTheInstallBeforeAnything) {
  // Not to be had, or without a backslash, which would put the install folder where the
  // installer happens to stand.
  for (const char* system_dir : {"", "system32", "C:"}) {
    Disk disk;
    disk.memory.Put("D:\\SETUP", {{"org_TOOL", kTemplate}, {"t.dvb", "t"}});
    QuietForms forms;
    TestSystem system("D:\\SETUP", system_dir);
    Install(disk, system, forms, [] {});
    EXPECT_EQ(forms.boxes.back().first, kNoSystemFolder + kAbort);
    EXPECT_EQ(forms.exit_codes, std::vector<int>{kExitAborted});
    EXPECT_EQ(disk.memory.Contents("D:\\SETUP").size(), 2u);
    EXPECT_EQ(disk.memory.Contents("C:"), Files{});
  }
}

}  // namespace
}  // namespace setup::testing
