// An exception anywhere in the program's handlers ends it as an unexpected failure: one critical
// box where one can still be shown, and exit status 1, never the status of an install.

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "setup/platform/posix/posix_system.h"
#include "setup/screens/setup1.h"
#include "setup/screens/user_form1.h"
#include "setup/screens/user_form2.h"
#include "tests/support/quiet_forms.h"
#include "tests/support/scratch.h"

namespace setup::testing {
namespace {

// Screens that show nothing, boxes that answer; the chosen call throws.
class Throwing final : public QuietForms {
 public:
  Throwing(int throw_at, bool from_then_on) : throw_at_(throw_at), from_then_on_(from_then_on) {}

 private:
  void BeforeCall() override {
    ++calls_;
    if (calls_ == throw_at_ || (from_then_on_ && calls_ > throw_at_)) throw std::bad_alloc();
  }
  int calls_ = 0, throw_at_;
  bool from_then_on_;
};

TEST(ProgramTest, ExceptionEndsTheProgramAsAnUnexpectedFailure) {
  const struct {
    const char* where;
    int throw_at;  // counting screen loads and boxes
    bool from_then_on;
    std::size_t boxes;
  } cases[] = {
      {"loading the confirmation screen", 2, false, 1},
      {"asking the start question", 4, false, 1},
      {"every call from the start question on, the failure's box too", 4, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    Throwing forms(c.throw_at, c.from_then_on);
    Scratch disk;
    PosixSystem system("D:\\SETUP", "C:\\WINDOWS\\system32");
    Program program(Platform{forms, forms, system, disk.files});
    Main(program);
    forms.current->Click(UserForm1::Command3);
    forms.current->Click(UserForm1::Command1);
    if (!program.ended()) forms.current->Click(UserForm2::CommandButton1);
    if (!program.ended()) forms.current->Activate();
    EXPECT_EQ(forms.exit_codes, std::vector<int>{kExitAborted});
    ASSERT_EQ(forms.boxes.size(), c.boxes);
    if (c.boxes == 1) {
      EXPECT_EQ(forms.boxes[0].second, kMbOk | kMbIconError);
      EXPECT_TRUE(forms.boxes[0].first.starts_with(
          "セットアップ中に予期しないエラーが発生しました。\r\nstd::bad_alloc"))
          << forms.boxes[0].first;
    }
  }
}

}  // namespace
}  // namespace setup::testing
