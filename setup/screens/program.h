#pragma once
// The screen lifecycle: one slot per screen class, load / show / hide / unload / end, and the
// rule that the program ends once no screen is loaded and no handler is running.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "setup/env/locations.h"
#include "setup/platform/file_system.h"
#include "setup/platform/forms.h"
#include "setup/platform/message_box.h"
#include "setup/platform/system.h"
#include "setup/screens/run_log.h"
#include "setup/screens/screen.h"

namespace setup {

struct Platform {
  FormsToolkit& forms;
  MessageBoxes& boxes;
  System& system;
  FileSystem& files;
  RunLog* log = nullptr;  // when one was asked for
  bool paced = true;      // false: the install run takes none of its designed pauses
};

// The process's exit status, read by scripts that run the installer.
enum ExitCode : int {
  kExitInstalled = 0,
  kExitAborted = 1,     // a failed check or an unexpected failure
  kExitUserLeft = 2,    // the user left before installing
  kExitIncomplete = 3,  // installed, but some files could not be placed
  // Another setup is running; this one did nothing. ERROR_INSTALL_ALREADY_RUNNING, which
  // deployment tools try again later by themselves.
  kExitAnotherSetup = 1618,
};

// Every message box the program shows carries this title.
inline constexpr std::string_view kBoxTitle = "SETUP";

// The text of the box that reports an unexpected failure, `what` naming it.
std::string UnexpectedFailureText(std::string_view what);

// Refuses every close that is not the program's own while the screen is busy.
void CloseGuard(std::int16_t busy, std::int16_t& cancel, std::int16_t close_mode);

class Program {
 public:
  explicit Program(const Platform& platform) : platform_(platform) {}
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  const Platform& platform() const { return platform_; }
  InstallLocations& locations() { return locations_; }
  // Why the install run was aborted, kept for the abort message.
  std::string AbortReason;

  // Builds the screen from its layout unless it is loaded already; it stays hidden.
  Status Load(ScreenKind kind);
  void Show(ScreenKind kind);
  void Hide(ScreenKind kind);
  // Raises the screen's close query (by code), then closes it and discards its state.
  void Unload(ScreenKind kind);
  // Load then show; a failure to load is reported as an unexpected failure.
  void LoadAndShow(ScreenKind kind);
  // Stops the program at once: every screen closes without a close query and no later
  // handler runs. The caller returns straight away.
  void End(int exit_code);
  // An unexpected failure: one message box saying what failed, then End.
  void Fail(std::string_view what);
  // Shows a box titled kBoxTitle and returns the button pressed; the log, if any, gets what it
  // said and the answer.
  int Ask(std::string_view text, unsigned flags);
  void Log(std::string_view line) {
    if (platform_.log != nullptr) platform_.log->Line(line);
  }
  // One of the install run's designed pauses, unless the run is not paced.
  void Pause(std::uint32_t milliseconds) {
    if (platform_.paced) platform_.system.Sleep(milliseconds);
  }
  // Runs program code as a handler: the program ends once the outermost one finishes with no
  // screen loaded, and an exception ends it through Fail instead of escaping to the system.
  template <class Handler>
  void Handle(Handler&& handler);

  bool ended() const { return ended_; }
  // The status the program exits with unless it ends otherwise.
  void set_exit_code(int code) { exit_code_ = code; }

 private:
  class Running {
   public:
    explicit Running(Program& program) : program_(program) { ++program_.depth_; }
    ~Running() { program_.LeaveHandler(); }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    Program& program_;
  };
  void FailOnException();

  friend class Screen;
  std::unique_ptr<Screen>& Slot(ScreenKind kind) { return slots_[static_cast<std::size_t>(kind)]; }
  // Closes the window now; the object lives until no handler runs, since it may be the one
  // whose handler is unloading it.
  void Discard(ScreenKind kind);
  void LeaveHandler();
  bool AnyScreenLoaded() const;

  Platform platform_;
  InstallLocations locations_;
  std::array<std::unique_ptr<Screen>, 3> slots_;
  std::vector<std::unique_ptr<Screen>> discarded_;
  int depth_ = 0;
  bool ended_ = false;
  int exit_code_ = kExitUserLeft;
};

template <class Handler>
void Program::Handle(Handler&& handler) {
  Running running(*this);
  if (ended_) return;
  try {
    handler();
  } catch (...) {
    FailOnException();
  }
}

}  // namespace setup
