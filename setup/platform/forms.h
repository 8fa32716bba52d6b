#pragma once
// The forms toolkit: screens built from fixed layout tables, shown one at a time, whose events
// reach the program through FormEvents. Text is UTF-8 throughout; lengths are in points.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "setup/platform/status.h"

namespace setup {

// A control's index in its form's layout table.
using ControlId = int;

enum class ControlKind : std::uint8_t { kLabel, kButton, kListBox, kProgressBar };

// Values of a label's text alignment, the label's one further property the program sets. Labels
// start left-aligned; buttons are always centred.
inline constexpr int kAlignLeft = 1;
inline constexpr int kAlignCentre = 2;

inline constexpr std::uint8_t kShiftJisCharset = 128;

struct FontSpec {
  std::string_view face;
  double points = 9;
  std::uint8_t charset = kShiftJisCharset;
};

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
};

struct ControlSpec {
  ControlId id = 0;  // must equal the entry's index in the table
  std::string_view name;
  ControlKind kind = ControlKind::kLabel;
  std::string_view caption;
  double left = 0, top = 0, width = 0, height = 0;
  int tab_index = 0;
  FontSpec font;
  bool enabled = true;
  bool tab_stop = true;
  std::optional<Rgb> text_colour;  // none, or in high contrast: the system's text colour
  bool word_wrap = false;
};

// The toolkit finds a control's entry by its id: every table keeps them equal to the index.
constexpr bool IdsAreIndices(std::span<const ControlSpec> controls) {
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].id != static_cast<ControlId>(i)) return false;
  }
  return true;
}

// A fixed-size window with a title bar and a close box, opened centred.
struct FormSpec {
  std::string_view name;
  std::string_view title;
  double client_width = 0, client_height = 0;
  std::span<const ControlSpec> controls;
};

// Windows puts the show state that the starting program gave (a deployment tool's "run hidden"
// gives hidden) in place of the process's first plain show command: a screen shown once would
// wait unseen. How many times to show a screen normally so that it ends so, given that state
// while it is still to be taken; a start asked minimised is shown normally too, since a wizard
// waits for its user.
constexpr int ShowsNeeded(std::optional<int> start_state) {
  return start_state ? 2 : 1;
}

// Close modes of a close request.
inline constexpr std::int16_t kCloseByUser = 0;  // close box, system menu, Alt+F4
inline constexpr std::int16_t kCloseByCode = 1;
inline constexpr std::int16_t kCloseBySession = 2;  // shutdown or log-off
inline constexpr std::int16_t kCloseByTaskManager = 3;

// What a loaded form tells its owner. Each call is one event; the toolkit never calls these
// from inside another call on the same form except through ProcessMessages or a message box.
class FormEvents {
 public:
  virtual void Click(ControlId control) = 0;
  virtual void Activate() = 0;
  // Whether a close would be allowed now; changes nothing. Windows asks this before it ends the
  // session, and may still cancel the end afterwards.
  virtual bool MayClose(std::int16_t close_mode) = 0;
  // Something other than the program asks the window to close. The owner decides and, to let
  // the close happen, discards the window itself.
  virtual void CloseRequested(std::int16_t close_mode) = 0;

 protected:
  ~FormEvents() = default;
};

// One loaded form's window. Destroying it closes the window without raising any event.
class FormWindow {
 public:
  virtual ~FormWindow() = default;

  // Makes the window visible and active. Activate is posted: it runs once per show, after the
  // current event has returned, never nested inside the caller.
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual void SetTitle(std::string_view title) = 0;
  virtual void SetCaption(ControlId control, std::string_view text) = 0;
  virtual void SetEnabled(ControlId control, bool enabled) = 0;
  virtual void SetFocus(ControlId control) = 0;
  virtual void AddListRow(ControlId list, std::string_view text) = 0;
  // 0 (empty) to 100 (full).
  virtual void SetProgress(ControlId bar, float value) = 0;
  virtual void SetTextAlign(ControlId label, int align) = 0;
  // While `reason` is not empty, a shutdown or log-off shows it as what this window is busy
  // with; empty withdraws it.
  virtual void SetShutdownReason(std::string_view reason) = 0;
};

class FormsToolkit {
 public:
  virtual ~FormsToolkit() = default;

  // Builds the form from its table, hidden, every control in its design-time state.
  virtual Status Load(const FormSpec& layout, FormEvents& events,
                      std::unique_ptr<FormWindow>& window) = 0;
  // Runs every queued window message (repaints, input, posted events) and returns when the
  // queue is empty.
  virtual void ProcessMessages() = 0;
  // Asks the message loop to end; the process exits with this status once the loop returns.
  virtual void Quit(int exit_code) = 0;
};

}  // namespace setup
