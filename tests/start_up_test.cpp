// The command line: what each argument asks for, in any case.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/screens/setup1.h"

namespace setup {
namespace {

TEST(StartUpTest, ArgumentsAskForWhatTheySay) {
  struct Row {
    std::vector<std::string> arguments;
    bool silent, usage;
    const char *log, *unknown;
  };
  const Row rows[] = {
      {{}, false, false, "", ""},
      {{"/S"}, true, false, "", ""},
      {{"/quiet", "/LOG=C:\\Logs\\A b.log"}, true, false, "C:\\Logs\\A b.log", ""},
      {{"/Quiet", "/?"}, true, true, "", ""},
      {{"/log=", "/s"}, true, false, "", "/log="},
      {{"/S", "-S", "/x"}, true, false, "", "-S"},
      {{"/silent"}, false, false, "", "/silent"},
  };
  for (const Row& row : rows) {
    const Options options = ParseArguments(row.arguments);
    EXPECT_EQ(options.silent, row.silent) << row.arguments.size();
    EXPECT_EQ(options.usage, row.usage) << row.arguments.size();
    EXPECT_EQ(options.log, row.log);
    EXPECT_EQ(options.unknown, row.unknown);
  }
}

}  // namespace
}  // namespace setup
