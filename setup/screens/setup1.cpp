#include "setup/screens/setup1.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "setup/install/deploy.h"

namespace setup {

namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return text.size() >= prefix.size() &&
         std::ranges::equal(text.substr(0, prefix.size()), prefix, {}, lower, lower);
}

// The spellings deployment tools' administrators know from other installers.
constexpr std::string_view kSilentOptions[] = {"/S",          "/quiet", "/silent",
                                               "/verysilent", "/q",     "/qn"};

const LastWords* last_words = nullptr;

[[noreturn]] void Terminated() noexcept {
  // A second terminate, from a message the box's loop delivered, goes straight out.
  static bool ending = false;
  if (std::exchange(ending, true)) std::_Exit(kExitAborted);
  try {
    // Not the exception that nothing caught, if there is one: reading it costs the 32-bit build
    // 2 KB it does not have.
    const std::string text = UnexpectedFailureText("std::terminate");
    if (last_words->log != nullptr) {
      last_words->log->Line("error: " + text);
      last_words->log->Exit(kExitAborted);
    }
    if (last_words->boxes != nullptr) {
      last_words->boxes->Ask(text, kBoxTitle, kMbOk | kMbIconError);
    }
  } catch (...) {
    // Out of memory for the words: the exit status still tells.
  }
  last_words->exit(kExitAborted);
  std::_Exit(kExitAborted);
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
  for (const std::string& given : arguments) {
    // Deployment tools' administrators type "-" as often as "/".
    std::string argument = given;
    if (argument.starts_with('-')) argument[0] = '/';
    const auto is = [&](std::string_view option) {
      return argument.size() == option.size() && StartsWithIgnoringCase(argument, option);
    };
    if (std::ranges::any_of(kSilentOptions, is)) {
      options.silent = true;
    } else if (is("/?")) {
      options.usage = true;
    } else if (StartsWithIgnoringCase(argument, "/log=") && argument.size() > 5) {
      options.log = argument.substr(5);
    } else if (options.unknown.empty()) {
      options.unknown = given;
    }
  }
  return options;
}

bool SomeoneCanSee(const Seat& seat) {
  // Desktop names, like other objects', compare without regard to case.
  return !seat.service_session && seat.station_shown && seat.desktop.size() == 7 &&
         StartsWithIgnoringCase(seat.desktop, "Default");
}

StartPlan PlanStart(const Options& options, bool seen) {
  const bool boxes = seen && !options.silent;
  if (!options.unknown.empty()) return {Start::kUnknownArgument, boxes};
  if (options.usage) return {Start::kUsage, boxes};
  if (options.silent) return {Start::kSilently, false};
  return {seen ? Start::kScreens : Start::kNobodyToAnswer, boxes};
}

bool StartedAlone(FileSystem& files, System& system) {
  std::string folder;
  return system.ApplicationPath(folder).ok() && !HoldsDistribution(files, folder);
}

void EndOnTerminate(const LastWords& words) {
  last_words = &words;
  std::set_terminate(&Terminated);
}

}  // namespace setup
