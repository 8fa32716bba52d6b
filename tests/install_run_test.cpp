// Single runs of the whole install, as a deployment tool starts it (install_run.h), each with its
// own arrangement: what other users and programs leave in its way.

#include <string>
#include <tuple>

#include "tests/support/install_run.h"

namespace setup::testing {
namespace {

using namespace texts;

// Single runs, each with its own arrangement and how it must end: another user's links, which
// nothing is written, moved or re-permissioned through and which are named; an emptied
// distribution, which is no install, and a repair, which is; a system folder that cannot say
// where the install goes, or would put it where the installer stands; a log whose reopening fails,
// which still gets its exit status.
const std::string kSource = "C:\\Temp\\SETUP", kSecret = "C:\\Victim\\secret.dvb";
Disk LaidOut() {
  Disk disk;
  disk.memory.Put(kSource, kToolFiles);
  disk.memory.Put(kSource + "\\org_TOOL", kTemplate);
  disk.memory.Put(kSecret, "the victim's");
  disk.memory.SetPermissions(kSecret, "the victim's own");
  return disk;
}

TEST(FaultSweepTest, EachArrangementEndsAsItMust) {
  const std::string temporary = kSource + "\\TessaradyneTOOL.tmp";
  const auto emptied = [](Disk& d) {
    for (const auto& [name, bytes] : kToolFiles) d.memory.Erase(kSource + "\\" + name);
  };
  const std::string incomplete = "warning: " + kIncomplete.substr(4) + " / ",
                    no_system_folder = "error: " + kNoSystemFolder + kAbort;
  // What, how it is arranged, the exit status, the last box as the log has it (none: empty) and
  // the system folder.
  const std::tuple<const char*, std::function<void(Disk&)>, int, std::string, const char*> rows[] =
      {
          {"a tool file that is a link",
           [](Disk& d) { EXPECT_TRUE(d.memory.MakeLink(kSource + "\\linked.dvb", kSecret)); },
           kExitIncomplete, incomplete + "linked.dvb", "C:\\WINDOWS\\system32"},
          {"a link planted at the temporary menu's name",
           [&](Disk& d) {
             d.memory.FailWhere(
                 [&](const std::string& call) {
                   if (call == "open-for-writing " + temporary) {
                     EXPECT_TRUE(d.memory.MakeLink(temporary, kSecret));
                   }
                   return false;
                 },
                 StatusCode::kOk);
           },
           kExitAborted, "error: " + kUnwritable + kAbort, "C:\\WINDOWS\\system32"},
          {"an emptied distribution", emptied, kExitIncomplete, incomplete + "*.dvb",
           "C:\\WINDOWS\\system32"},
          {"a repair over a whole install",
           [&](Disk& d) { emptied(d), d.memory.Put("C:\\Tessaradyne\\Tessaradyne.dvb", "dvb"); },
           kExitInstalled, "information: " + LoggedBox(kDone), "C:\\WINDOWS\\system32"},
          // Not to be had, or without a backslash, which would put the install folder where the
          // installer happens to stand.
          {"no system folder", [](Disk&) {}, kExitAborted, no_system_folder, ""},
          {"a system folder without a backslash", [](Disk&) {}, kExitAborted, no_system_folder,
           "system32"},
          {"a drive for a system folder", [](Disk&) {}, kExitAborted, no_system_folder, "C:"},
          {"a log whose reopening fails",
           [](Disk& d) {
             d.log.FailWhere(
                 [](const std::string& call) {
                   return call.starts_with("append ") || call.starts_with("open-for-appending ");
                 },
                 StatusCode::kIoError, 2);
           },
           kExitInstalled, "", "C:\\WINDOWS\\system32"},
      };
  for (const auto& [what, arm, exit_code, said, system_dir] : rows) {
    SCOPED_TRACE(what);
    Disk disk = LaidOut();
    TestSystem system(kSource, system_dir);
    const Installed run = Install(disk, system, [&] { arm(disk); });
    EXPECT_EQ(run.exit_code, exit_code);
    EXPECT_EQ(run.said.empty() ? "" : run.said.back(), said);
    // Where the links lead stays as it was, nothing goes through them, and a stopped run makes
    // nothing; the exit status is tried whatever the log met.
    EXPECT_EQ(disk.memory.Contents("C:\\Victim"), (Files{{"secret.dvb", "the victim's"}}));
    EXPECT_EQ(disk.memory.Permissions(kSecret), "the victim's own");
    EXPECT_EQ(disk.memory.Inspect("C:\\Tessaradyne\\linked.dvb").kind, EntryKind::kNone);
    EXPECT_TRUE(exit_code != kExitAborted || disk.memory.Contents("C:\\Tessaradyne").empty());
    EXPECT_TRUE(disk.log.Get("E:\\setup.log")
                    .value_or("")
                    .ends_with("\r\nexit: " + std::to_string(exit_code) + "\r\n"));
  }
}

// Another user, who may write where a deployment tool runs the installer as SYSTEM, empties either
// folder and makes it a link at each call of the run. Made before it is held, it is refused
// whole; nothing is read from, written to or moved in or out of it unless it is held.
TEST(FaultSweepTest, AFolderMadeALinkAtAnyCallIsNeverFollowed) {
  const std::string install = "C:\\Tessaradyne";
  std::size_t calls = 0, moves = 0;
  {
    Disk disk = LaidOut();  // a clean run's calls, counted
    TestSystem system(kSource);
    (void)Install(disk, system, [] {});
    calls = disk.memory.faults().calls;
  }
  for (const std::string& folder : {install, kSource}) {
    for (std::size_t n = 1; n <= calls; ++n) {
      std::string at;
      bool linked = false;
      SCOPED_TRACE(folder + " emptied and made a link at call " + std::to_string(n));
      Disk disk = LaidOut();
      TestSystem system(kSource);
      const Installed run = Install(disk, system, [&] {
        disk.memory.FailWhere(
            [&, k = std::size_t{0}](const std::string& call) mutable {
              if (++k != n) return false;
              at = call;
              for (const auto& [name, bytes] : disk.memory.Contents(folder))
                disk.memory.Erase(folder + "\\" + name);
              linked = disk.memory.MakeLink(folder, "C:\\Victim", /*to_folder=*/true);
              return false;
            },
            StatusCode::kOk);
      });
      EXPECT_EQ(disk.memory.Contents("C:\\Victim"), (Files{{"secret.dvb", "the victim's"}}));
      EXPECT_EQ(disk.memory.Permissions(kSecret), "the victim's own");
      EXPECT_TRUE(!linked || run.exit_code == kExitIncomplete ||
                  (folder == kSource && run.exit_code == kExitAborted))
          << run.exit_code;
      if (at.find(" " + folder + "\\") != at.npos || at == "list " + folder) {
        EXPECT_FALSE(linked) << at;
        ++moves;
      }
    }
  }
  EXPECT_GE(moves, 2 * kToolFiles.size());
}

}  // namespace
}  // namespace setup::testing
