#pragma once
// Forms that show nothing, for driving the real Program without windows: each loaded screen
// becomes `current`, message boxes are recorded and answered Yes (or OK), exit statuses are
// recorded. Nothing is posted: the caller activates a shown screen through `current`.

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "setup/platform/forms.h"
#include "setup/platform/message_box.h"

namespace setup::testing {

struct QuietWindow final : FormWindow {
  void Show() override {}
  void Hide() override {}
  void SetTitle(std::string_view) override {}
  void SetCaption(ControlId, std::string_view) override {}
  void SetEnabled(ControlId, bool) override {}
  void SetFocus(ControlId) override {}
  void AddListRow(ControlId, std::string_view) override {}
  void SetProgress(ControlId, float) override {}
  void SetTextAlign(ControlId, int) override {}
  void SetShutdownReason(std::string_view) override {}
};

struct QuietForms final : FormsToolkit, MessageBoxes {
  Status Load(const FormSpec&, FormEvents& events, std::unique_ptr<FormWindow>& window) override {
    current = &events;
    return window = std::make_unique<QuietWindow>(), Status();
  }
  int Ask(std::string_view text, std::string_view, unsigned flags) override {
    boxes.emplace_back(std::string(text), flags);
    return (flags & kMbYesNo) == kMbYesNo ? kIdYes : kIdOk;
  }
  void ProcessMessages() override {}
  void Quit(int code) override { exit_codes.push_back(code); }

  FormEvents* current = nullptr;  // the screen loaded last
  std::vector<std::pair<std::string, unsigned>> boxes;
  std::vector<int> exit_codes;
};

}  // namespace setup::testing
