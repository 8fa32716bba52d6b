// The screen sequence, the agreement and confirmation screens, and the close guard.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "setup/screens/user_form1.h"
#include "setup/screens/user_form2.h"
#include "setup/screens/user_form4.h"
#include "tests/support/installer_harness.h"

namespace setup::testing {
namespace {

std::size_t Utf8Length(std::string_view text) {
  std::size_t n = 0;
  for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

struct Action {
  enum Kind { kPress, kClose } kind;
  std::string form;
  std::string control;  // kPress
  std::int16_t close_mode = kCloseByUser;
};

Action Press(std::string form, std::string control) {
  return {Action::kPress, std::move(form), std::move(control)};
}
Action Close(std::string form) {
  return {Action::kClose, std::move(form), {}};
}

struct Transition {
  std::string name;
  std::vector<int> answers;
  std::vector<Action> actions;
  std::optional<std::string> shown;  // the one visible screen afterwards, or none
  std::optional<int> exit_code;      // set once the program has ended
  std::size_t boxes = 0;
};

void PrintTo(const Transition& t, std::ostream* os) {
  *os << t.name;
}

class ScreenSequence : public ::testing::TestWithParam<Transition> {};

TEST_P(ScreenSequence, EndsOnTheExpectedScreen) {
  const Transition& t = GetParam();
  InstallerHarness h;
  for (int answer : t.answers) h.toolkit.AnswerNext(answer);
  h.Start();
  for (const Action& a : t.actions) {
    if (a.kind == Action::kPress) {
      ASSERT_TRUE(h.toolkit.Press(a.form, a.control)) << a.form << "." << a.control;
    } else {
      ASSERT_TRUE(h.toolkit.PressClose(a.form, a.close_mode)) << a.form;
    }
  }
  for (const char* form : {"UserForm1", "UserForm2", "UserForm4"}) {
    EXPECT_EQ(h.toolkit.IsVisible(form), t.shown == form) << form;
    // Exactly one screen at a time, and a hidden one is never left loaded.
    EXPECT_EQ(h.toolkit.IsLoaded(form), t.shown == form) << form;
  }
  EXPECT_EQ(h.toolkit.exit_code(), t.exit_code);
  EXPECT_EQ(h.toolkit.boxes().size(), t.boxes);
  // Nothing is installed on any of these ways.
  EXPECT_FALSE(h.root.ReadFile("c/Tessaradyne").has_value());
  EXPECT_TRUE(h.root.ListSorted("c").empty());
}

const Transition kTransitions[] = {
    {"StartShowsAgreement", {}, {}, "UserForm1", std::nullopt},
    {"NextAfterAgreeShowsConfirmation",
     {},
     {Press("UserForm1", "Command3"), Press("UserForm1", "Command1")},
     "UserForm2",
     std::nullopt},
    {"ExitOnAgreementEndsWithoutQuestion",
     {},
     {Press("UserForm1", "Command2")},
     std::nullopt,
     kExitUserLeft},
    {"ExitAfterAgreeEndsToo",
     {},
     {Press("UserForm1", "Command3"), Press("UserForm1", "Command2")},
     std::nullopt,
     kExitUserLeft},
    {"CloseBoxOnAgreementEnds", {}, {Close("UserForm1")}, std::nullopt, kExitUserLeft},
    {"ExitYesOnConfirmationEnds",
     {kIdYes},
     {Press("UserForm1", "Command3"), Press("UserForm1", "Command1"),
      Press("UserForm2", "CommandButton2")},
     std::nullopt,
     kExitUserLeft,
     1},
    {"ExitNoOnConfirmationStays",
     {kIdNo},
     {Press("UserForm1", "Command3"), Press("UserForm1", "Command1"),
      Press("UserForm2", "CommandButton2")},
     "UserForm2",
     std::nullopt,
     1},
    {"CloseBoxOnConfirmationEnds",
     {},
     {Press("UserForm1", "Command3"), Press("UserForm1", "Command1"), Close("UserForm2")},
     std::nullopt,
     kExitUserLeft},
    {"StartThenNoReturnsToConfirmation",
     {kIdNo},
     {Press("UserForm1", "Command3"), Press("UserForm1", "Command1"),
      Press("UserForm2", "CommandButton1")},
     "UserForm2",
     std::nullopt,
     1},
    {"NoThenExitYesEnds",
     {kIdNo, kIdYes},
     {Press("UserForm1", "Command3"), Press("UserForm1", "Command1"),
      Press("UserForm2", "CommandButton1"), Press("UserForm2", "CommandButton2")},
     std::nullopt,
     kExitUserLeft,
     2},
    {"NoThenCloseBoxEnds",
     {kIdNo},
     {Press("UserForm1", "Command3"), Press("UserForm1", "Command1"),
      Press("UserForm2", "CommandButton1"), Close("UserForm2")},
     std::nullopt,
     kExitUserLeft,
     1},
};

INSTANTIATE_TEST_SUITE_P(Transitions, ScreenSequence, ::testing::ValuesIn(kTransitions),
                         [](const auto& param_info) { return param_info.param.name; });

TEST(ScreenSequenceTest, ConfirmationAndProgressAlternateWithoutNesting) {
  InstallerHarness h;
  ASSERT_TRUE(h.StartToConfirmation());
  constexpr int kRounds = 200;
  for (int i = 0; i < kRounds; ++i) {
    h.toolkit.AnswerNext(kIdNo);
    ASSERT_TRUE(h.toolkit.Press("UserForm2", "CommandButton1")) << "round " << i;
    // Each return builds the confirmation screen afresh, focus on "開始".
    const FormState* form2 = h.toolkit.Latest("UserForm2");
    ASSERT_TRUE(form2->alive);
    EXPECT_EQ(form2->focus, UserForm2::CommandButton1);
  }
  EXPECT_EQ(h.toolkit.boxes().size(), std::size_t{kRounds});
  // Each screen's activation runs from the message loop, never inside the previous handler.
  EXPECT_EQ(h.toolkit.max_dispatch_depth(), 1);
  EXPECT_FALSE(h.toolkit.exit_code().has_value());
}

TEST(ScreenSequenceTest, ProgressScreenThatCannotBeBuiltIsReported) {
  InstallerHarness h;
  h.toolkit.FailLoadOf("UserForm4");
  ASSERT_TRUE(h.StartToConfirmation());
  ASSERT_TRUE(h.toolkit.Press("UserForm2", "CommandButton1"));
  ASSERT_EQ(h.toolkit.boxes().size(), 1u);
  EXPECT_EQ(h.toolkit.boxes()[0].title, "SETUP");
  EXPECT_EQ(h.toolkit.boxes()[0].flags, kMbOk | kMbIconError);
  EXPECT_NE(h.toolkit.boxes()[0].text.find("UserForm4"), std::string::npos);
  EXPECT_EQ(h.toolkit.exit_code(), kExitAborted);
}

TEST(AgreementScreenTest, ListsTheAgreementOnce) {
  InstallerHarness h;
  h.Start();
  const auto& rows = h.toolkit.Latest("UserForm1")->Control("ListBox1").rows;
  ASSERT_EQ(rows.size(), 48u);
  EXPECT_EQ(rows.front(), "");
  EXPECT_EQ(rows[1], "有限会社Kestrelwin　　ソフトウェア使用許諾契約書");
  EXPECT_EQ(rows.back(), "以上");
  const std::vector<std::size_t> empty_rows = {1, 3, 5, 12, 13, 16, 20, 27, 35, 43, 47};
  for (std::size_t n = 1; n <= rows.size(); ++n) {
    const std::string& row = rows[n - 1];
    EXPECT_LE(Utf8Length(row), 40u) << "row " << n << " would wrap: " << row;
    const bool should_be_empty = std::ranges::count(empty_rows, n) > 0;
    EXPECT_EQ(row.empty(), should_be_empty) << "row " << n;
  }
  for (auto [n, heading] : {std::pair{17, "1. 使用範囲"},
                            {21, "2. 著作権"},
                            {28, "3. 譲渡"},
                            {36, "4. 限定保証"},
                            {44, "5. 責任の限度"}}) {
    EXPECT_EQ(rows[std::size_t(n - 1)], heading);
  }
}

TEST(AgreementScreenTest, NextFollowsTheLastChoice) {
  struct Case {
    std::vector<const char*> choices;
    bool next_enabled;
  };
  const Case cases[] = {
      {{}, false},
      {{"Command3"}, true},
      {{"Command3", "Command4"}, false},
      {{"Command4", "Command3"}, true},
      {{"Command3", "Command3"}, true},
      {{"Command4", "Command4"}, false},
  };
  for (const Case& c : cases) {
    InstallerHarness h;
    h.Start();
    for (const char* choice : c.choices) ASSERT_TRUE(h.toolkit.Press("UserForm1", choice));
    const FormState* form = h.toolkit.Latest("UserForm1");
    EXPECT_EQ(form->Control("Command1").enabled, c.next_enabled) << c.choices.size();
    // A disabled "次へ" cannot be pressed; an enabled one moves on.
    EXPECT_EQ(h.toolkit.Press("UserForm1", "Command1"), c.next_enabled);
    EXPECT_EQ(h.toolkit.IsVisible("UserForm2"), c.next_enabled);
  }
}

TEST(AgreementScreenTest, TabSkipsTheListAndADisabledNext) {
  InstallerHarness h;
  h.Start();
  using Names = std::vector<std::string>;
  EXPECT_EQ(h.toolkit.Latest("UserForm1")->TabOrder(), (Names{"Command2", "Command3", "Command4"}));
  ASSERT_TRUE(h.toolkit.Press("UserForm1", "Command3"));
  EXPECT_EQ(h.toolkit.Latest("UserForm1")->TabOrder(),
            (Names{"Command1", "Command2", "Command3", "Command4"}));
}

TEST(ConfirmationScreenTest, OpensWithFocusOnStartAndKeepsItAfterNo) {
  InstallerHarness h;
  ASSERT_TRUE(h.StartToConfirmation());
  const FormState* form = h.toolkit.Latest("UserForm2");
  EXPECT_EQ(form->focus, UserForm2::CommandButton1);
  EXPECT_EQ(form->TabOrder(), (std::vector<std::string>{"CommandButton1", "CommandButton2"}));
  EXPECT_EQ(h.program.Find<UserForm2>()->Busy, 0);

  h.toolkit.AnswerNext(kIdNo);
  ASSERT_TRUE(h.toolkit.Press("UserForm2", "CommandButton2"));
  const BoxRecord& box = h.toolkit.boxes().at(0);
  EXPECT_EQ(box.text, "インストールを中止します。よろしいですか？");
  EXPECT_EQ(box.title, "SETUP");
  EXPECT_EQ(box.flags, kMbYesNo);
  EXPECT_EQ(h.toolkit.Latest("UserForm2"), form);
  EXPECT_EQ(form->focus, UserForm2::CommandButton1);
  EXPECT_TRUE(form->visible);
}

TEST(ConfirmationScreenTest, StartIsIgnoredWhileBusy) {
  InstallerHarness h;
  ASSERT_TRUE(h.StartToConfirmation());
  h.program.Find<UserForm2>()->Busy = -1;
  ASSERT_TRUE(h.toolkit.Press("UserForm2", "CommandButton1"));
  EXPECT_TRUE(h.toolkit.IsVisible("UserForm2"));
  EXPECT_FALSE(h.toolkit.IsLoaded("UserForm4"));
}

TEST(CloseGuardTest, RefusesEveryCloseButTheProgramsOwnWhileBusy) {
  for (std::int16_t busy : {std::int16_t{0}, std::int16_t{-1}, std::int16_t{1}}) {
    for (std::int16_t mode : {kCloseByUser, kCloseByCode, kCloseBySession, kCloseByTaskManager}) {
      std::int16_t cancel = 0;
      CloseGuard(busy, cancel, mode);
      EXPECT_EQ(cancel, (busy != 0 && mode != kCloseByCode) ? 1 : 0)
          << "busy " << busy << " mode " << mode;
    }
  }
}

TEST(CloseGuardTest, BusyConfirmationScreenRefusesUserCloses) {
  InstallerHarness h;
  ASSERT_TRUE(h.StartToConfirmation());
  h.program.Find<UserForm2>()->Busy = -1;
  for (std::int16_t mode : {kCloseByUser, kCloseBySession, kCloseByTaskManager}) {
    ASSERT_TRUE(h.toolkit.PressClose("UserForm2", mode));
    EXPECT_TRUE(h.toolkit.IsVisible("UserForm2")) << mode;
  }
  EXPECT_FALSE(h.toolkit.exit_code().has_value());
}

TEST(LayoutTest, ControlsFitTheirScreensWithoutOverlapping) {
  for (const FormSpec* form : {&UserForm1::Layout(), &UserForm2::Layout(), &UserForm4::Layout()}) {
    const auto& controls = form->controls;
    for (std::size_t i = 0; i < controls.size(); ++i) {
      const ControlSpec& a = controls[i];
      EXPECT_EQ(a.id, static_cast<ControlId>(i)) << form->name << "." << a.name;
      EXPECT_LE(a.left + a.width, form->client_width) << form->name << "." << a.name;
      EXPECT_LE(a.top + a.height, form->client_height) << form->name << "." << a.name;
      EXPECT_EQ(a.font.charset, kShiftJisCharset) << form->name << "." << a.name;
      for (std::size_t j = i + 1; j < controls.size(); ++j) {
        const ControlSpec& b = controls[j];
        const bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left ||
                           a.top + a.height <= b.top || b.top + b.height <= a.top;
        EXPECT_TRUE(apart) << form->name << ": " << a.name << " overlaps " << b.name;
      }
    }
  }
}

}  // namespace
}  // namespace setup::testing
