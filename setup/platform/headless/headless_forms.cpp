#include "setup/platform/headless/headless_forms.h"

#include <algorithm>

namespace setup {

namespace {

class HeadlessWindow final : public FormWindow {
 public:
  HeadlessWindow(FormEvents& events, std::vector<FormEvents*>& to_activate)
      : events_(events), to_activate_(to_activate) {}
  // A closed form's activation must not run: the events may be gone with it.
  ~HeadlessWindow() override { std::erase(to_activate_, &events_); }
  void Show() override { to_activate_.push_back(&events_); }
  void Hide() override {}
  void SetTitle(std::string_view) override {}
  void SetCaption(ControlId, std::string_view) override {}
  void SetEnabled(ControlId, bool) override {}
  void SetFocus(ControlId) override {}
  void AddListRow(ControlId, std::string_view) override {}
  void SetProgress(ControlId, float) override {}
  void SetTextAlign(ControlId, int) override {}
  void SetShutdownReason(std::string_view) override {}

 private:
  FormEvents& events_;
  std::vector<FormEvents*>& to_activate_;
};

}  // namespace

Status HeadlessForms::Load(const FormSpec&, FormEvents& events,
                           std::unique_ptr<FormWindow>& window) {
  window = std::make_unique<HeadlessWindow>(events, to_activate_);
  return Status::Ok();
}

void HeadlessForms::Quit(int exit_code) {
  if (exit_code_ == -1) exit_code_ = exit_code;
}

int HeadlessForms::Ask(std::string_view, std::string_view, unsigned flags) {
  return (flags & kMbYesNo) == kMbYesNo ? kIdYes : kIdOk;
}

int HeadlessForms::Run() {
  while (exit_code_ == -1 && !to_activate_.empty()) {
    FormEvents* events = to_activate_.front();
    to_activate_.erase(to_activate_.begin());
    events->Activate();
  }
  return exit_code_;
}

}  // namespace setup
