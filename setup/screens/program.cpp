#include "setup/screens/program.h"

#include "setup/screens/user_form1.h"
#include "setup/screens/user_form2.h"
#include "setup/screens/user_form4.h"

namespace setup {

namespace {

std::unique_ptr<Screen> Make(Program& program, ScreenKind kind) {
  switch (kind) {
    case ScreenKind::kUserForm1:
      return std::make_unique<UserForm1>(program);
    case ScreenKind::kUserForm2:
      return std::make_unique<UserForm2>(program);
    case ScreenKind::kUserForm4:
      return std::make_unique<UserForm4>(program);
  }
  return nullptr;
}

}  // namespace

void Screen::Click(ControlId control) {
  program_.Handle([&] { OnClick(control); });
}

void Screen::Activate() {
  program_.Handle([&] { UserForm_Activate(); });
}

bool Screen::MayClose(std::int16_t close_mode) {
  std::int16_t cancel = 0;
  program_.Handle([&] { UserForm_QueryClose(cancel, close_mode); });
  return cancel == 0 && !program_.ended();
}

void Screen::CloseRequested(std::int16_t close_mode) {
  program_.Handle([&] {
    std::int16_t cancel = 0;
    UserForm_QueryClose(cancel, close_mode);
    if (cancel == 0) program_.Discard(kind_);
  });
}

std::string UnexpectedFailureText(std::string_view what) {
  std::string text = "セットアップ中に予期しないエラーが発生しました。\r\n";
  text += what;
  return text;
}

void CloseGuard(std::int16_t busy, std::int16_t& cancel, std::int16_t close_mode) {
  if (busy != 0 && close_mode != kCloseByCode) cancel = 1;
}

Program::~Program() {
  // Windows go before the toolkit that made them, which the caller owns.
  for (auto& slot : slots_) slot.reset();
  discarded_.clear();
}

Status Program::Load(ScreenKind kind) {
  auto& slot = Slot(kind);
  if (slot) return Status::Ok();
  auto screen = Make(*this, kind);
  if (Status s = platform_.forms.Load(screen->layout_, *screen, screen->window_); !s.ok()) {
    return s;
  }
  slot = std::move(screen);
  return Status::Ok();
}

void Program::Show(ScreenKind kind) {
  if (auto& slot = Slot(kind)) slot->window().Show();
}

void Program::Hide(ScreenKind kind) {
  if (auto& slot = Slot(kind)) slot->window().Hide();
}

void Program::Unload(ScreenKind kind) {
  auto& slot = Slot(kind);
  if (!slot) return;
  Running running(*this);
  std::int16_t cancel = 0;
  slot->UserForm_QueryClose(cancel, kCloseByCode);
  if (cancel == 0) Discard(kind);
}

void Program::LoadAndShow(ScreenKind kind) {
  if (Status s = Load(kind); !s.ok()) {
    Fail(s.message());
    return;
  }
  Show(kind);
}

void Program::Discard(ScreenKind kind) {
  auto& slot = Slot(kind);
  if (!slot) return;
  slot->window_.reset();
  discarded_.push_back(std::move(slot));
}

void Program::End(int exit_code) {
  if (ended_) return;
  ended_ = true;
  exit_code_ = exit_code;
  for (std::size_t i = 0; i < slots_.size(); ++i) Discard(static_cast<ScreenKind>(i));
  platform_.forms.Quit(exit_code_);
}

void Program::Fail(std::string_view what) {
  if (ended_) return;
  try {
    Ask(UnexpectedFailureText(what), kMbOk | kMbIconError);
  } catch (...) {
    // Out of memory even for the message: the exit status still tells.
  }
  End(kExitAborted);
}

int Program::Ask(std::string_view text, unsigned flags) {
  const int answer = platform_.boxes.Ask(text, kBoxTitle, flags);
  if (platform_.log != nullptr) {
    const bool question = (flags & kMbYesNo) == kMbYesNo;
    const char* kind = question                                     ? "question: "
                       : (flags & kMbIconWarning) == kMbIconWarning ? "warning: "
                       : (flags & kMbIconError) != 0                ? "error: "
                                                                    : "information: ";
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    std::string line =
        kind + std::string(first == text.npos ? "" : text.substr(first, last - first + 1));
    if (question) line += answer == kIdYes ? " (Yes)" : " (No)";
    platform_.log->Line(line);
  }
  return answer;
}

void Program::FailOnException() {
  std::string what;
  try {
    what = DescribeCurrentException();
  } catch (...) {
    // No memory for the text.
  }
  Fail(what);
}

bool Program::AnyScreenLoaded() const {
  for (const auto& slot : slots_) {
    if (slot) return true;
  }
  return false;
}

void Program::LeaveHandler() {
  if (--depth_ > 0) return;
  // Screens unloaded by a handler die here, after the handler has returned. This may destroy
  // the screen whose event brought us here; nothing of it is touched afterwards.
  discarded_.clear();
  if (!ended_ && !AnyScreenLoaded()) {
    ended_ = true;
    platform_.forms.Quit(exit_code_);
  }
}

}  // namespace setup
