#include "setup/screens/setup1.h"

#include <algorithm>

namespace setup {

namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return text.size() >= prefix.size() &&
         std::ranges::equal(text.substr(0, prefix.size()), prefix, {}, lower, lower);
}

}  // namespace

void Main(Program& program) {
  // A handler, so the program cannot end before the first screen exists.
  program.Handle([&] { program.LoadAndShow(ScreenKind::kUserForm1); });
}

void MainSilently(Program& program) {
  program.Handle([&] { program.LoadAndShow(ScreenKind::kUserForm4); });
}

Options ParseArguments(const std::vector<std::string>& arguments) {
  Options options;
  for (const std::string& argument : arguments) {
    const auto is = [&](std::string_view option) {
      return argument.size() == option.size() && StartsWithIgnoringCase(argument, option);
    };
    if (is("/S") || is("/quiet")) {
      options.silent = true;
    } else if (is("/?")) {
      options.usage = true;
    } else if (StartsWithIgnoringCase(argument, "/log=") && argument.size() > 5) {
      options.log = argument.substr(5);
    } else if (options.unknown.empty()) {
      options.unknown = argument;
    }
  }
  return options;
}

}  // namespace setup
