// Every file-system call of an install run failed in turn, once per kind of failure: no tool file
// may be lost, no temporary left, and the closing message and exit status must tell the truth.

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "setup/install/install_run.h"
#include "setup/install/tool_menu.h"
#include "tests/support/installer_harness.h"

namespace setup::testing {
namespace {

using Files = std::map<std::string, std::string>;  // name -> bytes
using Names = std::set<std::string>;

// 作成 (8D EC 90 AC) and ツール (83 63 81 5B 83 8B) around placeholders; no line end at the end.
const std::string kTemplate =
    "***MENUGROUP=TESSARADYNE\r\n"
    "ID_TdDraw [\x8D\xEC\x90\xAC]^C^C-vbarun \"xxxxxTessaradyne.dvb!Draw.Start\"\r\n"
    "ID_TdDrawB [_Button(\"\x83\x63\x81\x5B\x83\x8B\", \"xxxxxTdDraw16.bmp\", "
    "\"xxxxxTdDraw32.bmp\")]";
const std::string kMenu =
    "***MENUGROUP=TESSARADYNE\r\n"
    "ID_TdDraw [\x8D\xEC\x90\xAC]^C^C-vbarun \"C:/Tessaradyne/Tessaradyne.dvb!Draw.Start\"\r\n"
    "ID_TdDrawB [_Button(\"\x83\x63\x81\x5B\x83\x8B\", \"C:/Tessaradyne/TdDraw16.bmp\", "
    "\"C:/Tessaradyne/TdDraw32.bmp\")]\r\n";
const Files kToolFiles = {{"Tessaradyne.dvb", "new dvb"},
                          {"TdLabel.dvb", "new label dvb"},
                          {"TdDraw16.bmp", "new bmp 16"},
                          {"TdDraw32.bmp", "new bmp 32"},
                          {"TdExtra.mns", "new extra menu"}};
const Files kOtherFiles = {{"org_TOOL", kTemplate}, {"setup.exe", "MZ"}, {"readme.txt", "r"}};

const std::string kSuccess = "    セットアップは正常に終了しました。    ";
const std::string kAbortSentence = "セットアップを中止します。";

struct Outcome {
  std::size_t calls = 0;
  std::size_t faults = 0;
  std::size_t lost = 0;
  Names kept;  // tool files left in the source folder while their old copy stays installed
};

// What the abort message must give as its reason when this call failed, or nothing when the
// call's failure must not abort the run.
std::optional<std::string_view> AbortReasonFor(const std::string& call, StatusCode code) {
  if (call.starts_with("open ")) {
    return code == StatusCode::kNotFound ? kNoTemplateReason : kUnreadableTemplateReason;
  }
  if (call.starts_with("read ")) return kUnreadableTemplateReason;
  if (call.find(kMenuTempName) != std::string::npos) return kUnwritableMenuReason;
  return std::nullopt;
}

// The file names an incomplete message lists.
Names ListedNames(const std::string& message) {
  Names names;
  std::size_t pos = message.find("\r\n");
  while (pos != std::string::npos) {
    const std::size_t next = message.find("\r\n", pos + 2);
    names.insert(message.substr(pos + 2, next == std::string::npos ? next : next - pos - 2));
    pos = next;
  }
  return names;
}

// One install run with the `fail_call`th call (0: none) failing with `code`. `kept` is what a
// clean run of the same kind keeps back in the source folder by design.
Outcome InstallWithFault(bool reinstall, std::size_t fail_call, StatusCode code,
                         const Names& kept) {
  InstallerHarness h;
  for (const Files* files : {&kToolFiles, &kOtherFiles}) {
    for (const auto& [name, bytes] : *files) h.root.WriteFile("d/SETUP/" + name, bytes);
  }
  Files old;
  if (reinstall) {
    h.root.MakeFolder("c/Tessaradyne");
    for (const auto& [name, bytes] : kToolFiles) old[name] = "old " + name;
    old[std::string(kMenuFileName)] = "old menu";
    for (const auto& [name, bytes] : old) h.root.WriteFile("c/Tessaradyne/" + name, bytes);
  }
  if (fail_call != 0) h.files.FailCall(fail_call, code);
  h.InstallAnsweringYes();

  Outcome out{.calls = h.files.calls(), .faults = h.files.failed_calls().size()};
  const std::string where = std::string(reinstall ? "reinstall" : "first install") +
                            ", failing call " + std::to_string(fail_call) + " (" +
                            (out.faults ? h.files.failed_calls()[0] : "none") + ") with code " +
                            std::to_string(static_cast<int>(code));
  SCOPED_TRACE(where);
  const auto& boxes = h.toolkit.boxes();
  if (boxes.size() != 2u) {
    ADD_FAILURE() << boxes.size() << " message boxes";
    return out;
  }
  const BoxRecord& last = boxes.back();
  const bool aborted = last.text.ends_with(kAbortSentence);

  Files expected = kToolFiles;
  if (!aborted) expected[std::string(kMenuFileName)] = kMenu;
  Names placed, unplaced;
  for (const auto& [name, bytes] : expected) {
    const auto source = h.root.ReadFile("d/SETUP/" + name);
    const auto installed = h.root.ReadFile("c/Tessaradyne/" + name);
    if (installed == bytes) {
      placed.insert(name);
      continue;
    }
    if (source != bytes) {
      ++out.lost;
      ADD_FAILURE() << name << " is whole in neither folder";
      continue;
    }
    // An installed copy that was not replaced must keep its old bytes.
    EXPECT_EQ(installed, old.empty() ? std::nullopt : std::optional(old.at(name))) << name;
    (installed && kept.contains(name) ? out.kept : unplaced).insert(name);
  }
  for (const char* folder : {"d/SETUP", "c/Tessaradyne"}) {
    for (const std::string& name : h.root.ListSorted(folder)) {
      EXPECT_TRUE(name != kMenuTempName && name.find(".~setup-") == std::string::npos)
          << name << " left in " << folder;
    }
  }

  const std::optional<std::string_view> reason =
      out.faults ? AbortReasonFor(h.files.failed_calls()[0], code) : std::nullopt;
  if (reason) {
    EXPECT_EQ(last.text, std::string(*reason) + kAbortSentence);
    EXPECT_EQ(last.flags, kMbOk | kMbIconError);
    EXPECT_EQ(h.toolkit.exit_code(), kExitAborted);
    // Nothing is moved before the menu file is in place.
    EXPECT_TRUE(placed.empty());
    EXPECT_EQ(h.root.ReadFile("d/SETUP/TessaradyneTOOL.mns"), std::nullopt);
    if (reinstall) {
      EXPECT_EQ(h.root.ReadFile("c/Tessaradyne/TessaradyneTOOL.mns"), "old menu");
    } else {
      EXPECT_TRUE(h.root.ListSorted("c").empty());
    }
  } else if (last.flags == (kMbOk | kMbIconWarning)) {
    EXPECT_EQ(h.toolkit.exit_code(), kExitIncomplete);
    const Names listed = ListedNames(last.text);
    EXPECT_FALSE(listed.empty());
    for (const std::string& name : unplaced) {
      const std::string kind = "*" + name.substr(name.size() - 4);
      EXPECT_TRUE(listed.contains(name) || listed.contains(kind)) << name << " not named";
    }
    // A file named as not installed really is not; a kept one may be named when moving it
    // failed for another reason than its installed copy.
    for (const std::string& name : listed) {
      EXPECT_TRUE(name.starts_with("*") || unplaced.contains(name) || out.kept.contains(name))
          << name << " named but installed";
    }
  } else {
    EXPECT_EQ(last.text, kSuccess);
    EXPECT_EQ(last.flags, kMbOk | kMbIconInformation);
    EXPECT_EQ(h.toolkit.exit_code(), kExitInstalled);
    EXPECT_TRUE(unplaced.empty());
  }
  return out;
}

TEST(FaultSweepTest, NoFailureOfAnyCallLosesAFileOrMisreportsTheRun) {
  const StatusCode codes[] = {StatusCode::kNotFound, StatusCode::kAccessDenied,
                              StatusCode::kSharingViolation, StatusCode::kDiskFull};
  std::size_t runs = 0, faults = 0, lost = 0;
  for (bool reinstall : {false, true}) {
    const Outcome clean = InstallWithFault(reinstall, 0, StatusCode::kOk,
                                           {"TdDraw16.bmp", "TdDraw32.bmp", "TdExtra.mns"});
    // A reinstall keeps the installed bitmaps; a menu other than the first listed may be kept.
    if (reinstall) {
      EXPECT_TRUE(clean.kept.contains("TdDraw16.bmp") && clean.kept.contains("TdDraw32.bmp"));
    } else {
      EXPECT_TRUE(clean.kept.empty());
    }
    ASSERT_GT(clean.calls, 8u);
    for (std::size_t n = 1; n <= clean.calls; ++n) {
      for (StatusCode code : codes) {
        const Outcome outcome = InstallWithFault(reinstall, n, code, clean.kept);
        EXPECT_EQ(outcome.faults, 1u) << "call " << n;
        ++runs;
        faults += outcome.faults;
        lost += outcome.lost;
      }
    }
  }
  std::cout << "fault sweep: " << runs << " runs, " << faults << " faults injected, " << lost
            << " files lost\n";
  EXPECT_EQ(lost, 0u);
}

}  // namespace
}  // namespace setup::testing
