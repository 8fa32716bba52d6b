// The command line: what each argument asks for, in any case.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "setup/screens/setup1.h"

namespace setup {
namespace {

TEST(StartUpTest, ArgumentsAskForWhatTheySay) {
  // Arguments, then what they ask for: silent, usage, the log's path, the first not understood.
  const std::tuple<std::vector<std::string>, bool, bool, std::string, std::string> rows[] = {
      {{}, false, false, "", ""},
      {{"/S"}, true, false, "", ""},
      {{"/quiet", "/LOG=C:\\Logs\\A b.log"}, true, false, "C:\\Logs\\A b.log", ""},
      {{"/Quiet", "/?"}, true, true, "", ""},
      {{"/log=", "/s"}, true, false, "", "/log="},
      {{"/S", "-S", "/x"}, true, false, "", "-S"},
      {{"/silent"}, false, false, "", "/silent"},
  };
  for (const auto& [arguments, silent, usage, log, unknown] : rows) {
    const Options options = ParseArguments(arguments);
    EXPECT_EQ(std::tie(options.silent, options.usage, options.log, options.unknown),
              std::tie(silent, usage, log, unknown))
        << arguments.size() << " " << unknown;
  }
}

}  // namespace
}  // namespace setup
