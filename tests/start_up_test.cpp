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
  // Arguments and whether someone sees the program, then what runs, whether a box may show, the
  // log's path and the argument not understood.
  const std::tuple<std::vector<std::string>, bool, Start, bool, std::string, std::string> rows[] = {
      {{}, true, kScreens, true, "", ""},
      {{}, false, kNobodyToAnswer, false, "", ""},
      {{"/S"}, false, kSilently, false, "", ""},
      {{"/quiet", "/LOG=C:\\Logs\\A b.log"}, true, kSilently, false, "C:\\Logs\\A b.log", ""},
      {{"-Silent", "-log=D:\\x.log"}, false, kSilently, false, "D:\\x.log", ""},
      {{"/VERYSILENT"}, true, kSilently, false, "", ""},
      {{"-q"}, true, kSilently, false, "", ""},
      {{"/qN"}, false, kSilently, false, "", ""},
      {{"/log=D:\\x.log"}, false, kNobodyToAnswer, false, "D:\\x.log", ""},
      {{"/Quiet", "-?"}, true, kUsage, false, "", ""},
      {{"/?"}, true, kUsage, true, "", ""},
      {{"/?"}, false, kUsage, false, "", ""},
      {{"/log=", "/s"}, true, kUnknownArgument, false, "", "/log="},
      {{"-S", "--S", "/x"}, true, kUnknownArgument, false, "", "--S"},
      {{"/qq"}, true, kUnknownArgument, true, "", "/qq"},
      {{"/silent-"}, false, kUnknownArgument, false, "", "/silent-"},
  };
  for (const auto& [arguments, seen, start, boxes, log, unknown] : rows) {
    const Options options = ParseArguments(arguments);
    const StartPlan plan = PlanStart(options, seen);
    EXPECT_EQ(std::tie(plan.start, plan.boxes, options.log, options.unknown),
              std::tie(start, boxes, log, unknown))
        << arguments.size() << " arguments, seen " << seen << ", " << unknown;
  }
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
