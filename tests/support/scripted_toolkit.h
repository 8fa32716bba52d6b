#pragma once
// A forms toolkit and message box for tests: screens built from their layout tables, a user
// who presses controls and close boxes and answers boxes from a queue, and a journal of what
// the user would have seen, in order.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "setup/platform/forms.h"
#include "setup/platform/message_box.h"

namespace setup::testing {

class Journal {
 public:
  void Add(std::string entry) { entries_.push_back(std::move(entry)); }
  const std::vector<std::string>& entries() const { return entries_; }
  // The entries that start with any of the prefixes, in order.
  std::vector<std::string> Only(std::initializer_list<std::string_view> prefixes) const;

 private:
  std::vector<std::string> entries_;
};

struct ControlState {
  const ControlSpec* layout = nullptr;
  std::string caption;
  bool enabled = true;
  float progress = 0;
  int align = kAlignLeft;
  std::vector<std::string> rows;
};

struct FormState {
  const FormSpec* layout = nullptr;
  bool alive = true;
  bool visible = false;
  std::string title;
  std::optional<ControlId> focus;
  std::vector<ControlState> controls;

  const ControlState& Control(std::string_view name) const;
  // Controls that Tab reaches, in order: enabled tab stops by tab index.
  std::vector<std::string> TabOrder() const;
};

struct BoxRecord {
  std::string text;
  std::string title;
  unsigned flags = 0;
};

class ScriptedToolkit final : public FormsToolkit, public MessageBoxes {
 public:
  explicit ScriptedToolkit(Journal& journal) : journal_(journal) {}
  ~ScriptedToolkit() override;

  Status Load(const FormSpec& layout, FormEvents& events,
              std::unique_ptr<FormWindow>& window) override;
  void ProcessMessages() override;
  void Quit(int exit_code) override;
  int Ask(std::string_view text, std::string_view title, unsigned flags) override;

  // The message loop's part: delivers posted activations until none is left or the program
  // has quit.
  void RunPending();
  // Presses a control of a loaded form as a user would; false when the user could not (form
  // not loaded or hidden, control disabled or not a button).
  bool Press(std::string_view form, std::string_view control);
  // Asks a loaded form to close, as the close box (0), a shutdown (2) or the Task Manager (3)
  // would; false when the form is not loaded.
  bool PressClose(std::string_view form, std::int16_t close_mode);
  void AnswerNext(int answer) { answers_.push_back(answer); }
  // Called at each ProcessMessages, with its count from 1.
  void OnPump(std::function<void(int)> hook) { on_pump_ = std::move(hook); }
  void FailLoadOf(std::string_view form) { failing_load_ = form; }

  // The loaded form of that name, or the last one that was, or null.
  const FormState* Latest(std::string_view form) const;
  bool IsLoaded(std::string_view form) const;
  bool IsVisible(std::string_view form) const;
  const std::vector<BoxRecord>& boxes() const { return boxes_; }
  std::optional<int> exit_code() const { return exit_code_; }
  int max_dispatch_depth() const { return max_depth_; }

 private:
  class Window;
  struct Posted {
    int window;
  };
  Window* Find(std::string_view form) const;
  void Dispatch(const std::function<void()>& event);

  Journal& journal_;
  std::map<int, Window*> live_;
  std::vector<std::shared_ptr<FormState>> history_;
  std::deque<Posted> posted_;
  std::deque<int> answers_;
  std::vector<BoxRecord> boxes_;
  std::function<void(int)> on_pump_;
  std::string failing_load_;
  std::optional<int> exit_code_;
  int next_window_ = 1;
  int depth_ = 0;
  int max_depth_ = 0;
  int pumps_ = 0;
};

}  // namespace setup::testing
