// The whole install run, as a deployment tool starts it (install_run.h), with every file-system
// call of the run failed in turn: before it takes effect, after it (an answer lost half way), or by
// throwing, as where memory runs out; with each kind of failure; with files another user owns; and
// with locks, a vanishing copy and a lost log line. No tool file may be lost,
// nothing left that was not there, no file left readable by its user alone unless named, and the
// last message, the log and the exit status must tell the truth.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "setup/install/patient_file_system.h"
#include "setup/platform/headless/headless_forms.h"
#include "setup/screens/setup1.h"
#include "tests/menu_oracle.h"
#include "tests/support/install_run.h"
#include "tests/texts.h"

namespace setup::testing {
namespace {

using Names = std::set<std::string>;

const Names kKept = {"TdDraw16.Bmp", "TdOther.mns"};
// Never moved: no tool's ending, or in a sub-folder.
const Files kOtherFiles = {{"tool.dvbx", "x"}, {"toolmns", "m"}, {"sub.dvb/inner.dvb", "i"}};
// On reinstall, in the install folder: copies a killed run left beside their targets, which go,
// and the user's own files named like such copies, which stay.
const Files kLeftovers = {{"Tessaradyne.dvb.~setup-3", "killed"}, {"TdExtra.mns.~setup-12", "k"}};
const Files kUsersFiles = {{"notes.~setup-x", "u"},
                           {"b.~setup-12b", "u"},
                           {"t.dvb.~setup-", "u"},
                           {"a~setup-1", "u"},
                           {".~setup-1", "u"}};
using namespace texts;

struct Sweep {
  std::size_t runs = 0, faults = 0;
};

// Where the installer runs from, the system directory in the ANSI code page, which gives the
// install folder's drive, and whether another user owns the tool files.
struct Pass {
  const char *source, *system_dir, *install, *slash;
  bool others;
};
// From a CD on another drive than the system's, where placing copies and removes the read-only
// sources; from a folder on the system's drive that someone else unpacked, where it renames files
// whose permissions only their owner may change; the Windows folder's name holds 表 (95 5C), whose
// trail byte is a backslash.
constexpr Pass kPasses[] = {
    {"E:\\SETUP", "C:\\WINDOWS\\system32", "C:\\Tessaradyne", "C:/Tessaradyne/", false},
    {"D:\\SETUP", "D:\\\x95\x5C\x8E\xA6\\system32", "D:\\Tessaradyne", "D:/Tessaradyne/", true}};

struct Outcome {
  bool faulted = false;
  std::size_t calls = 0;
  int exit_code = -1;
  std::uint64_t waited_ms = 0;
};

// One install with the file system armed by `arm`, described by `what`. Whatever failed, every
// tool file must be whole in the source or the install folder, and the outcome must say which.
Outcome InstallWithFault(const Pass& pass, bool reinstall, const std::string& what,
                         const std::function<void(Disk&)>& arm, Sweep& sweep) {
  Disk disk;
  const std::string source = pass.source, install = pass.install;
  auto& memory = disk.memory;
  // Unpacked where only its user may read: what lands in the install folder must not keep that.
  memory.PutFolder(source);
  memory.SetPermissions(source, "the user's own");
  memory.Put(source, kToolFiles, {.read_only = true, .others = pass.others});
  memory.Put(source, kOtherFiles);
  memory.Put(source + "\\org_TOOL", kTemplate);
  Files old;
  if (reinstall) {
    for (const auto& [name, bytes] : kToolFiles) old[name] = "old " + name;
    old["TessaradyneTOOL.mns"] = "old menu";
    memory.Put(install, old);
    memory.Put(install + "\\Tessaradyne.dvb", old["Tessaradyne.dvb"], {.read_only = true});
    memory.Put(install, kUsersFiles);
    memory.Put(install, kLeftovers);
    memory.Put(install + "\\TdExtra.mns.~setup-12", "k", {.read_only = true});
    // An older menu file beside the template, read-only, and a temporary one a killed run left.
    memory.Put(source + "\\TessaradyneTOOL.mns", "older", {.read_only = true});
    memory.Put(source + "\\TessaradyneTOOL.tmp", "killed");
  }
  TestSystem system(source, pass.system_dir);
  const Installed run = Install(disk, system, [&] { arm(disk); });
  const FaultState& fault = memory.faults();
  const std::string& failed = fault.failed;
  SCOPED_TRACE(std::string(reinstall ? "reinstall" : "first install") + " from " + source + ", " +
               what + " (" + failed + ") with " + std::to_string(int(fault.code)));
  ++sweep.runs;
  sweep.faults += failed.empty() ? 0 : 1;
  if (run.said.size() != 2 || run.said[0] != "question: " + LoggedBox(kStartQuestion) + " (Yes)") {
    return ADD_FAILURE() << run.said.size() << " boxes", Outcome{};
  }
  const std::string kind = run.said[1].substr(0, run.said[1].find(": "));
  const std::string said = run.said[1].substr(kind.size() + 2);
  const bool unexpected = said.starts_with(kUnexpected);
  const bool aborted = unexpected || said.ends_with(kAbort);
  const bool incomplete = said.starts_with(LoggedBox(kIncomplete));
  // A throw ends the install as an unexpected failure; only reading the template and writing the
  // menu file may stop it otherwise, each with its reason.
  EXPECT_EQ(unexpected, fault.throws && !failed.empty()) << said;
  const bool reading = failed.starts_with("open ") || failed.starts_with("read ");
  if (!unexpected && (reading || aborted)) {
    EXPECT_EQ(said,
              (!reading                                                            ? kUnwritable
               : failed.starts_with("open") && fault.code == StatusCode::kNotFound ? kNoTemplate
                                                                                   : kUnreadable) +
                  kAbort);
    EXPECT_TRUE(reading || failed.find("TessaradyneTOOL.") != failed.npos ||
                failed == "hold " + source)
        << failed;
  }
  EXPECT_EQ(run.exit_code, aborted ? kExitAborted : incomplete ? kExitIncomplete : kExitInstalled);
  EXPECT_EQ(kind, aborted ? "error" : incomplete ? "warning" : "information");
  // Nobody watches: no designed pause, and no wait but for a lock.
  EXPECT_EQ(system.slept_ms, 0u);
  EXPECT_TRUE(!failed.empty() || system.waited_ms == 0) << system.waited_ms;
  Names named;
  for (std::size_t at = said.find(" / "); at != said.npos; at = said.find(" / ", at + 3)) {
    named.insert(said.substr(at + 3, said.find(" / ", at + 3) - at - 3));
  }
  // Without a failure everything is placed: read-only sources, read-only copies replaced.
  EXPECT_TRUE(!failed.empty() || (named.empty() && !aborted)) << said;
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
    // A bitmap or menu installed before and kept stays as it was, whatever happens.
    if (!old.empty() && kKept.contains(name)) {
      EXPECT_EQ(installed, old.at(name));
    }
    if (installed == bytes) {
      // Named exactly when it may be readable by its user alone, unless the run failed outright.
      const bool reset = memory.Permissions(install + "\\" + name) == memory.Permissions(install);
      EXPECT_TRUE(unexpected || named.contains(name) != reset)
          << name << (reset ? " named" : " readable by its user alone, not named");
      EXPECT_TRUE(memory.IsDurable(install + "\\" + name)) << name << " not on the disk";
      EXPECT_TRUE(!failed.empty() || !left) << name << " left behind by a clean run";
      continue;
    }
    if (left != bytes) {
      ADD_FAILURE() << name << " is whole in neither folder";
      continue;
    }
    // Not installed: an old copy keeps its bytes and its read-only mark, and the file is named
    // unless kept back by design (an installed bitmap) or the install stopped. TdExtra.mns is
    // listed before the generated menu, so it is the first-listed menu, which replaces its copy.
    EXPECT_EQ(installed, old.empty() ? std::nullopt : std::optional(old.at(name))) << name;
    if (installed && name == "Tessaradyne.dvb") {
      EXPECT_TRUE(memory.IsReadOnly(install + "\\" + name));
    }
    const bool kept = installed && kKept.contains(name);
    std::string pattern = "*" + name.substr(name.size() - 4);
    std::ranges::transform(pattern, pattern.begin(), [](char c) { return char(std::tolower(c)); });
    EXPECT_TRUE(aborted || kept || named.contains(name) || named.contains(pattern))
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
  for (const auto& [name, bytes] : reinstall ? kUsersFiles : Files{})
    EXPECT_EQ(memory.Get(install + "\\" + name), bytes) << "the user's " << name;
  // Nothing else: a killed run's leftovers go before files are placed, unless that failed.
  const bool placing = !aborted && !failed.starts_with("hold ") && !failed.starts_with("list ");
  for (const auto& [name, bytes] : memory.Contents(install)) {
    EXPECT_TRUE(expected.contains(name) || old.contains(name) || kUsersFiles.contains(name) ||
                (kLeftovers.contains(name) &&
                 (!placing || fault.all.contains("remove " + install + "\\" + name) ||
                  failed.ends_with(name))))
        << name << " left in " << install;
  }
  for (const auto& [name, bytes] : memory.Contents(source)) {
    EXPECT_TRUE(
        expected.contains(name) || name == "TessaradyneTOOL.mns" || name == "org_TOOL" ||
        name == "sub.dvb" || kOtherFiles.contains(name) ||
        (name == "TessaradyneTOOL.tmp" && (failed.ends_with(name) || failed == "hold " + source)))
        << name << " left in " << source;
  }
  return {!failed.empty(), fault.calls, run.exit_code, system.waited_ms};
}

// What other programs do meanwhile. The network drops under a log on a share: the line is written
// on the log opened anew, and none after it is lost. A scanner quarantines a copy beside its target
// just before the rename, which fails: the old file stays at the target, so the new one must stay
// at the source.
void LogLineLost(Disk& d) {
  d.log.FailWhere([](const std::string& call) { return call.starts_with("append "); },
                  StatusCode::kIoError, 1);
}
void CopyVanishing(Disk& d) {
  d.memory.FailWhere(
      [&](const std::string& call) {
        if (!call.starts_with("rename ") || call.find(".~setup-") == call.npos) return false;
        return d.memory.Remove(call.substr(7, call.find(" -> ") - 7)).ok();
      },
      StatusCode::kNotFound, 1);
}

TEST(FaultSweepTest, NoFailureOfAnyCallLosesAFileOrMisreportsTheInstall) {
  const StatusCode codes[] = {StatusCode::kNotFound, StatusCode::kAccessDenied,
                              StatusCode::kSharingViolation, StatusCode::kDiskFull};
  Sweep sweep;
  for (const Pass& pass : kPasses) {
    for (bool reinstall : {false, true}) {
      const std::size_t calls = InstallWithFault(
                                    pass, reinstall, "no fault", [](Disk&) {}, sweep)
                                    .calls;
      EXPECT_GT(calls, 20u);
      InstallWithFault(pass, reinstall, "a log line lost", LogLineLost, sweep);
      InstallWithFault(pass, reinstall, "a copy vanishing", CopyVanishing, sweep);
      for (std::size_t n = 1; n <= calls; ++n) {
        const std::string call = "call " + std::to_string(n);
        for (StatusCode code : codes) {
          for (const bool after : {false, true}) {
            InstallWithFault(
                pass, reinstall, call + (after ? " after" : " before"),
                [&](Disk& d) { d.memory.FailCall(n, code, after); }, sweep);
          }
        }
        InstallWithFault(
            pass, reinstall, call + " throwing",
            [&](Disk& d) { d.memory.FailCall(n, StatusCode::kOk, false, true); }, sweep);
      }
    }
  }
  std::cout << "fault sweep: " << sweep.runs << " runs, " << sweep.faults << " faults injected\n";
}

// Locks that other programs hold for a moment are waited out: a call failing once, twice or three
// times in a row still installs everything. Locks that stay are waited out no longer than the
// run's patience, then the files are named.
TEST(FaultSweepTest, LocksAreWaitedOutForAWhile) {
  Sweep sweep;
  for (const Pass& pass : kPasses) {
    for (const char* op : {"rename ", "copy ", "remove ", "open-for-writing ", "hold "}) {
      for (const StatusCode code : {StatusCode::kSharingViolation, StatusCode::kAccessDenied}) {
        for (const std::size_t times : {1u, 2u, 3u, 100u}) {
          const Outcome outcome = InstallWithFault(
              pass, true, op + std::to_string(times) + " times",
              [&](Disk& d) {
                d.memory.FailWhere([&](const std::string& call) { return call.starts_with(op); },
                                   code, times);
              },
              sweep);
          if (times < 100 || !outcome.faulted) {
            EXPECT_EQ(outcome.exit_code, kExitInstalled) << op << times;
          }
          EXPECT_LE(outcome.waited_ms, PatientFileSystem::kMaxWaitMs);
        }
      }
    }
  }
}

}  // namespace
}  // namespace setup::testing
