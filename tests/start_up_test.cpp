// Start-up: what each argument asks for, in any case and spelling, what runs where nobody can see
// the program, how the first screen is shown, and how a terminate ends the program.

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "setup/screens/setup1.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/test_system.h"

namespace setup::testing {
namespace {

TEST(StartUpTest, ArgumentsAndWhoSeesTheProgramDecideWhatRuns) {
  using enum Start;
  // Where the windows would show: the visible station's own desktop, a service's session, a
  // station nobody sees, a desktop of another program's making, Winlogon's secure desktop, one
  // whose name cannot be read.
  const Seat seen{.desktop = "Default"}, session_zero{true, true, "Default"},
      hidden_station{false, false, "Default"}, other_desktop{.desktop = "RemoteHidden"},
      secure_desktop{.desktop = "Winlogon"}, unreadable{};
  // Arguments and where the windows would show, then what runs, whether a box may show, the
  // log's path and the argument not understood.
  const std::tuple<std::vector<std::string>, Seat, Start, bool, std::string, std::string> rows[] = {
      {{}, seen, kScreens, true, "", ""},
      {{}, Seat{.desktop = "default"}, kScreens, true, "", ""},
      {{}, session_zero, kNobodyToAnswer, false, "", ""},
      {{}, hidden_station, kNobodyToAnswer, false, "", ""},
      {{}, other_desktop, kNobodyToAnswer, false, "", ""},
      {{}, secure_desktop, kNobodyToAnswer, false, "", ""},
      {{}, Seat{.desktop = "Default2"}, kNobodyToAnswer, false, "", ""},
      {{}, unreadable, kNobodyToAnswer, false, "", ""},
      {{"/S"}, session_zero, kSilently, false, "", ""},
      {{"/S"}, other_desktop, kSilently, false, "", ""},
      {{"/quiet", "/LOG=C:\\Logs\\A b.log"}, seen, kSilently, false, "C:\\Logs\\A b.log", ""},
      {{"-Silent", "-log=D:\\x.log"}, hidden_station, kSilently, false, "D:\\x.log", ""},
      {{"/VERYSILENT"}, seen, kSilently, false, "", ""},
      {{"-q"}, seen, kSilently, false, "", ""},
      {{"/qN"}, session_zero, kSilently, false, "", ""},
      {{"/log=D:\\x.log"}, secure_desktop, kNobodyToAnswer, false, "D:\\x.log", ""},
      {{"/Quiet", "-?"}, seen, kUsage, false, "", ""},
      {{"/?"}, seen, kUsage, true, "", ""},
      {{"/?"}, other_desktop, kUsage, false, "", ""},
      {{"/log=", "/s"}, seen, kUnknownArgument, false, "", "/log="},
      {{"-S", "--S", "/x"}, seen, kUnknownArgument, false, "", "--S"},
      {{"/qq"}, seen, kUnknownArgument, true, "", "/qq"},
      {{"/silent-"}, session_zero, kUnknownArgument, false, "", "/silent-"},
  };
  for (const auto& [arguments, seat, start, boxes, log, unknown] : rows) {
    const Options options = ParseArguments(arguments);
    const StartPlan plan = PlanStart(options, SomeoneCanSee(seat));
    EXPECT_EQ(std::tie(plan.start, plan.boxes, options.log, options.unknown),
              std::tie(start, boxes, log, unknown))
        << arguments.size() << " arguments, on [" << seat.desktop << "] " << seat.service_session
        << seat.station_shown << ", " << unknown;
  }
}

// Explorer runs an exe double-clicked inside its zip from a folder of its own, alone: nothing
// there to install is said before the first screen. Anything of the distribution is enough.
TEST(StartUpTest, AFolderWithNothingToInstallIsToldBeforeAnything) {
  const std::pair<Files, bool> rows[] = {
      {{{"setup.exe", "x"}}, true},
      {{{"setup.exe", "x"}, {"org_TOOL.txt", "t"}, {"readme.txt", "r"}, {"sub.dvb\\a", "a"}}, true},
      {{{"setup.exe", "x"}, {"ORG_tool", "t"}}, false},
      {{{"setup.exe", "x"}, {"Tool.DVB", "d"}}, false},
      {{{"a.bmp", "b"}}, false},
      {{{"TessaradyneTOOL.mns", "m"}}, false},
  };
  for (const auto& [files, alone] : rows) {
    MemoryFileSystem disk;
    disk.PutFolder("D:\\SETUP");
    disk.Put("D:\\SETUP", files);
    TestSystem system;
    EXPECT_EQ(StartedAlone(disk, system), alone) << files.rbegin()->first;
  }
  // One that cannot be listed leaves the word to the run, which knows what stands in its way.
  MemoryFileSystem disk;
  TestSystem system("D:\\gone");
  EXPECT_FALSE(StartedAlone(disk, system));
}

// Windows puts the start's show state, when the starting program gave one, in place of the first
// show command, and takes every later one as given. SW_HIDE is 0, SW_SHOWNORMAL 1, and so on to
// SW_FORCEMINIMIZE, 11.
TEST(StartUpTest, TheFirstScreenIsSeenWhateverTheStartAsked) {
  for (int start = -1; start <= 11; ++start) {
    const std::optional<int> given = start < 0 ? std::nullopt : std::optional(start);
    int state = -1;
    for (int n = 0; n < ShowsNeeded(given); ++n) state = n == 0 && given ? *given : 1;
    EXPECT_EQ(state, 1) << "started with show state " << start;
  }
}

// The log, printed as the program exits for the test to read it, and a box that says what it shows.
MemoryFileSystem disk;
std::unique_ptr<RunLog> death_log;
struct Boxes final : MessageBoxes {
  int Ask(std::string_view text, std::string_view, unsigned) override {
    return std::fprintf(stderr, "box: %.*s\n", int(text.size()), text.data()), kIdOk;
  }
} boxes;
LastWords words{.boxes = &boxes, .exit = [](int code) {
                  std::fputs(disk.Get("D:\\setup.log")->c_str(), stderr);
                  std::_Exit(code);
                }};

void TerminateWithALogOpen() {
  EndOnTerminate(words);
  TestSystem system;
  (void)RunLog::Open(disk, system, "D:\\setup.log", death_log);
  words.log = death_log.get();
  try {
    throw std::runtime_error("lost");
  } catch (...) {
    std::terminate();
  }
}

TEST(StartUpDeathTest, ATerminateEndsWithOneAndSaysWhyInTheLogAndABox) {
  EXPECT_EXIT(TerminateWithALogOpen(), ::testing::ExitedWithCode(1),
              "box: .*std::terminate\n.*error: .*std::terminate\r\nexit: 1\r\n$");
}

}  // namespace
}  // namespace setup::testing
