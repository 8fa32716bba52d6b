#include "tests/support/scripted_toolkit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace setup::testing {

namespace {

// std::format is not in every standard library this builds with yet.
template <class... Parts>
std::string Cat(const Parts&... parts) {
  std::ostringstream out;
  (out << ... << parts);
  return out.str();
}

}  // namespace

std::vector<std::string> Journal::Only(std::initializer_list<std::string_view> prefixes) const {
  std::vector<std::string> kept;
  for (const std::string& entry : entries_) {
    for (std::string_view prefix : prefixes) {
      if (entry.starts_with(prefix)) {
        kept.push_back(entry);
        break;
      }
    }
  }
  return kept;
}

const ControlState& FormState::Control(std::string_view name) const {
  for (const ControlState& control : controls) {
    if (control.layout->name == name) return control;
  }
  ADD_FAILURE() << "no control " << name << " on " << layout->name;
  static const ControlState none;
  return none;
}

std::vector<std::string> FormState::TabOrder() const {
  std::vector<const ControlState*> stops;
  for (const ControlState& control : controls) {
    if (control.layout->tab_stop && control.enabled) stops.push_back(&control);
  }
  std::ranges::sort(stops, {}, [](const ControlState* c) { return c->layout->tab_index; });
  std::vector<std::string> names;
  for (const ControlState* control : stops) names.emplace_back(control->layout->name);
  return names;
}

class ScriptedToolkit::Window final : public FormWindow {
 public:
  Window(ScriptedToolkit& toolkit, int id, FormEvents& events, std::shared_ptr<FormState> state)
      : toolkit_(toolkit), id_(id), events_(events), state_(std::move(state)) {
    toolkit_.live_[id_] = this;
  }
  ~Window() override {
    state_->alive = false;
    state_->visible = false;
    toolkit_.live_.erase(id_);
    Log(Cat("close ", Form()));
  }

  void Show() override {
    state_->visible = true;
    Log(Cat("show ", Form()));
    toolkit_.posted_.push_back({id_});
  }
  void Hide() override {
    state_->visible = false;
    Log(Cat("hide ", Form()));
  }
  void SetTitle(std::string_view title) override {
    state_->title = title;
    Log(Cat("title ", Form(), " = ", title));
  }
  void SetCaption(ControlId control, std::string_view text) override {
    At(control).caption = text;
    Log(Cat("caption ", Name(control), " = ", text));
  }
  void SetEnabled(ControlId control, bool enabled) override {
    At(control).enabled = enabled;
    Log(Cat("enabled ", Name(control), " = ", enabled ? 1 : 0));
  }
  void SetFocus(ControlId control) override {
    state_->focus = control;
    Log(Cat("focus ", Name(control)));
  }
  void AddListRow(ControlId list, std::string_view text) override {
    At(list).rows.emplace_back(text);
  }
  void SetProgress(ControlId bar, float value) override {
    At(bar).progress = value;
    Log(Cat("progress ", Name(bar), " = ", value));
  }
  void SetTextAlign(ControlId label, int align) override {
    At(label).align = align;
    Log(Cat("align ", Name(label), " = ", align));
  }

  FormEvents& events() { return events_; }
  FormState& state() const { return *state_; }

 private:
  ControlState& At(ControlId control) { return state_->controls.at(std::size_t(control)); }
  std::string_view Form() const { return state_->layout->name; }
  std::string Name(ControlId control) { return Cat(Form(), ".", At(control).layout->name); }
  void Log(std::string entry) { toolkit_.journal_.Add(std::move(entry)); }

  ScriptedToolkit& toolkit_;
  const int id_;
  FormEvents& events_;
  std::shared_ptr<FormState> state_;
};

ScriptedToolkit::~ScriptedToolkit() {
  EXPECT_TRUE(live_.empty()) << "windows outlive the toolkit";
}

Status ScriptedToolkit::Load(const FormSpec& layout, FormEvents& events,
                             std::unique_ptr<FormWindow>& window) {
  if (layout.name == failing_load_) {
    return Status::Error(StatusCode::kOther, Cat("load ", layout.name, ": refused by the test"));
  }
  auto state = std::make_shared<FormState>();
  state->layout = &layout;
  state->title = layout.title;
  for (std::size_t i = 0; i < layout.controls.size(); ++i) {
    const ControlSpec& control = layout.controls[i];
    EXPECT_EQ(std::size_t(control.id), i) << layout.name << "." << control.name;
    state->controls.push_back({.layout = &control,
                               .caption = std::string(control.caption),
                               .enabled = control.enabled,
                               .align = control.align});
  }
  history_.push_back(state);
  journal_.Add(Cat("load ", layout.name));
  window = std::make_unique<Window>(*this, next_window_++, events, std::move(state));
  return Status::Ok();
}

void ScriptedToolkit::Dispatch(const std::function<void()>& event) {
  ++depth_;
  max_depth_ = std::max(max_depth_, depth_);
  event();
  --depth_;
}

void ScriptedToolkit::RunPending() {
  while (!posted_.empty() && !exit_code_) {
    const Posted posted = posted_.front();
    posted_.pop_front();
    auto it = live_.find(posted.window);
    if (it == live_.end()) continue;
    Window* window = it->second;
    journal_.Add(Cat("activate ", window->state().layout->name));
    Dispatch([window] { window->events().Activate(); });
  }
}

void ScriptedToolkit::ProcessMessages() {
  journal_.Add("pump");
  ++pumps_;
  if (on_pump_) on_pump_(pumps_);
  RunPending();
}

void ScriptedToolkit::Quit(int exit_code) {
  journal_.Add(Cat("quit ", exit_code));
  if (!exit_code_) exit_code_ = exit_code;
}

int ScriptedToolkit::Ask(std::string_view text, std::string_view title, unsigned flags) {
  boxes_.push_back({std::string(text), std::string(title), flags});
  journal_.Add(Cat("box ", title, " ", flags, ": ", text));
  if (!answers_.empty()) {
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  if ((flags & 0xF) == kMbOk) return kIdOk;
  ADD_FAILURE() << "no answer queued for: " << text;
  return kIdNo;
}

ScriptedToolkit::Window* ScriptedToolkit::Find(std::string_view form) const {
  for (const auto& [id, window] : live_) {
    if (window->state().layout->name == form) return window;
  }
  return nullptr;
}

bool ScriptedToolkit::Press(std::string_view form, std::string_view control) {
  RunPending();
  Window* window = Find(form);
  if (!window || !window->state().visible || exit_code_) return false;
  for (const ControlState& state : window->state().controls) {
    if (state.layout->name != control) continue;
    if (!state.enabled || state.layout->kind != ControlKind::kButton) return false;
    journal_.Add(Cat("click ", form, ".", control));
    const ControlId id = state.layout->id;
    Dispatch([window, id] { window->events().Click(id); });
    RunPending();
    return true;
  }
  ADD_FAILURE() << "no control " << control << " on " << form;
  return false;
}

bool ScriptedToolkit::PressClose(std::string_view form, std::int16_t close_mode) {
  Window* window = Find(form);
  if (!window) return false;
  journal_.Add(Cat("closebox ", form, " ", close_mode));
  Dispatch([window, close_mode] { window->events().CloseRequested(close_mode); });
  if (depth_ == 0) RunPending();
  return true;
}

const FormState* ScriptedToolkit::Latest(std::string_view form) const {
  for (auto it = history_.rbegin(); it != history_.rend(); ++it) {
    if ((*it)->layout->name == form) return it->get();
  }
  return nullptr;
}

bool ScriptedToolkit::IsLoaded(std::string_view form) const {
  return Find(form) != nullptr;
}

bool ScriptedToolkit::IsVisible(std::string_view form) const {
  const Window* window = Find(form);
  return window && window->state().visible;
}

}  // namespace setup::testing
