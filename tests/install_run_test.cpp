// The install run as a user sees it: texts, progress, pauses, boxes and how it ends.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "setup/install/install_run.h"
#include "setup/install/tool_menu.h"
#include "setup/screens/user_form4.h"
#include "tests/support/installer_harness.h"

namespace setup::testing {
namespace {

using Lines = std::vector<std::string>;

// A small distribution in D:\SETUP.
void WriteDistribution(const InstallerHarness& h) {
  h.root.WriteFile("d/SETUP/org_TOOL", "***MENUGROUP=TOOL\r\nxxxxxtool.dvb\r\n");
  h.root.WriteFile("d/SETUP/tool.dvb", "dvb");
  h.root.WriteFile("d/SETUP/tool.bmp", "bmp");
  h.root.WriteFile("d/SETUP/setup.exe", "exe");
}

// What the run showed, from the progress screen's activation on.
Lines RunJournal(const InstallerHarness& h) {
  Lines all = h.journal.Only({"activate UserForm4", "caption UserForm4", "align", "title",
                              "progress", "enabled UserForm4", "sleep", "pump", "box", "hide",
                              "close UserForm4", "quit"});
  auto first = std::ranges::find(all, "activate UserForm4");
  return Lines(first, all.end());
}

const Lines kSuccessfulRun = {
    "activate UserForm4",
    "caption UserForm4.Label1 = setup ready!",
    "align UserForm4.Label1 = 2",
    "title UserForm4 = Tessaradyne SETUP",
    "align UserForm4.Label1 = 1",
    "box SETUP 4:     セットアップを開始します。 よろしいですか？    ",
    "sleep 1000",
    "progress UserForm4.ProgressBar1 = 10",
    "caption UserForm4.Label1 = get setup holderpass...",
    "pump",
    "sleep 1000",
    "sleep 1000",
    "progress UserForm4.ProgressBar1 = 70",
    "caption UserForm4.Label1 = setup AutoCAD nemu file...",
    "pump",
    "sleep 1000",
    "progress UserForm4.ProgressBar1 = 80",
    "pump",
    "sleep 1000",
    "progress UserForm4.ProgressBar1 = 90",
    "caption UserForm4.Label1 = setup tool nemu file...",
    "pump",
    "sleep 1000",  // between reading the template and writing the menu file
    "sleep 1000",
    "progress UserForm4.ProgressBar1 = 100",
    "caption UserForm4.Label1 = setup complete...",
    "pump",
    "box SETUP 64:     セットアップは正常に終了しました。    ",
    "progress UserForm4.ProgressBar1 = 0",
    "enabled UserForm4.ProgressBar1 = 0",
    "hide UserForm4",
    "close UserForm4",
    "quit 0",
};

TEST(InstallRunTest, SuccessfulRunShowsEachStepInOrder) {
  InstallerHarness h;
  WriteDistribution(h);
  h.InstallAnsweringYes();
  EXPECT_EQ(RunJournal(h), kSuccessfulRun);
  EXPECT_EQ(h.toolkit.boxes().size(), 2u);
  EXPECT_EQ(h.toolkit.exit_code(), kExitInstalled);
  EXPECT_FALSE(h.toolkit.IsLoaded("UserForm4"));
  EXPECT_EQ(h.root.ReadFile("c/Tessaradyne/TessaradyneTOOL.mns"),
            "***MENUGROUP=TOOL\r\nC:/Tessaradyne/tool.dvb\r\n");
  EXPECT_EQ(h.root.ListSorted("c/Tessaradyne"),
            (Lines{"TessaradyneTOOL.mns", "tool.bmp", "tool.dvb"}));
  EXPECT_EQ(h.root.ListSorted("d/SETUP"), (Lines{"org_TOOL", "setup.exe"}));
}

TEST(InstallRunTest, NoChangesNothingAndALaterYesRunsEverything) {
  InstallerHarness h;
  WriteDistribution(h);
  h.toolkit.AnswerNext(kIdNo);
  h.StartAndConfirm();
  EXPECT_TRUE(h.toolkit.IsVisible("UserForm2"));
  EXPECT_EQ(h.program.locations().SourceDir, "");
  EXPECT_EQ(h.program.locations().InstallDir, "");
  EXPECT_EQ(h.root.ListSorted("d/SETUP"), (Lines{"org_TOOL", "setup.exe", "tool.bmp", "tool.dvb"}));
  EXPECT_TRUE(h.root.ListSorted("c").empty());
  const Lines declined = RunJournal(h);
  EXPECT_EQ(std::ranges::count_if(declined,
                                  [](const std::string& e) {
                                    return e.starts_with("progress") || e.starts_with("sleep");
                                  }),
            0);

  h.toolkit.AnswerNext(kIdYes);
  ASSERT_TRUE(h.toolkit.Press("UserForm2", "CommandButton1"));
  Lines second = RunJournal(h);
  auto again = std::ranges::find(second.begin() + 1, second.end(), "activate UserForm4");
  EXPECT_EQ(Lines(again, second.end()), kSuccessfulRun);
  EXPECT_EQ(h.toolkit.exit_code(), kExitInstalled);
}

TEST(InstallRunTest, UserClosesAreRefusedWhileTheRunWorks) {
  for (std::int16_t mode : {kCloseByUser, kCloseBySession, kCloseByTaskManager}) {
    InstallerHarness h;
    WriteDistribution(h);
    int refused = 0;
    h.toolkit.OnPump([&](int) {
      if (!h.toolkit.IsLoaded("UserForm4")) return;
      EXPECT_EQ(h.program.Find<UserForm4>()->Busy, -1);
      h.toolkit.PressClose("UserForm4", mode);
      refused += h.toolkit.IsLoaded("UserForm4");
    });
    h.InstallAnsweringYes();
    EXPECT_EQ(refused, 5) << "mode " << mode;
    EXPECT_EQ(RunJournal(h), kSuccessfulRun) << "mode " << mode;
    EXPECT_EQ(h.toolkit.exit_code(), kExitInstalled);
  }
}

TEST(InstallRunTest, MissingTemplateAbortsWithOneMessageAndTheBarAt90) {
  InstallerHarness h;
  h.root.WriteFile("d/SETUP/tool.dvb", "dvb");
  h.InstallAnsweringYes();
  ASSERT_EQ(h.toolkit.boxes().size(), 2u);
  const BoxRecord& abort = h.toolkit.boxes()[1];
  EXPECT_EQ(abort.text, "ツールメニューファイルがありません!!  セットアップを中止します。");
  EXPECT_EQ(abort.title, "SETUP");
  EXPECT_EQ(abort.flags, kMbOk | kMbIconError);
  EXPECT_EQ(h.program.AbortReason, kNoTemplateReason);
  const FormState* form = h.toolkit.Latest("UserForm4");
  EXPECT_EQ(form->Control("ProgressBar1").progress, 90);
  EXPECT_EQ(form->Control("Label1").caption, "setup tool nemu file...");
  EXPECT_FALSE(form->alive);
  EXPECT_EQ(h.toolkit.exit_code(), kExitAborted);
  // Nothing written, nothing moved, no install folder.
  EXPECT_EQ(h.root.ListSorted("d/SETUP"), (Lines{"tool.dvb"}));
  EXPECT_TRUE(h.root.ListSorted("c").empty());
  EXPECT_EQ(h.journal.Only({"quit"}), (Lines{"quit 1"}));
}

TEST(InstallRunTest, UnusableSystemDirectoryAbortsBeforeAnythingIsWritten) {
  for (const char* system_directory : {"", "system32"}) {
    InstallerHarness h;
    WriteDistribution(h);
    h.system.system_directory = system_directory;
    h.InstallAnsweringYes();
    ASSERT_EQ(h.toolkit.boxes().size(), 2u) << system_directory;
    EXPECT_EQ(h.toolkit.boxes()[1].text,
              "システムフォルダーを取得できません!!  セットアップを中止します。");
    EXPECT_EQ(h.toolkit.boxes()[1].flags, kMbOk | kMbIconError);
    EXPECT_EQ(h.toolkit.exit_code(), kExitAborted);
    EXPECT_EQ(h.root.ListSorted("d/SETUP"),
              (Lines{"org_TOOL", "setup.exe", "tool.bmp", "tool.dvb"}));
    EXPECT_TRUE(h.root.ListSorted("c").empty());
  }
}

TEST(InstallRunTest, UnexpectedFailureSaysWhatFailedAndEnds) {
  InstallerHarness h;
  WriteDistribution(h);
  h.system.application_path_fails = true;
  h.InstallAnsweringYes();
  ASSERT_EQ(h.toolkit.boxes().size(), 2u);
  EXPECT_EQ(h.toolkit.boxes()[1].title, "SETUP");
  EXPECT_EQ(h.toolkit.boxes()[1].flags, kMbOk | kMbIconError);
  EXPECT_NE(h.toolkit.boxes()[1].text.find("application path"), std::string::npos);
  EXPECT_EQ(h.toolkit.exit_code(), kExitAborted);
  EXPECT_FALSE(h.toolkit.IsLoaded("UserForm4"));
}

TEST(InstallRunTest, InstallFolderIsOnTheSystemDriveWhenRunFromADriveRoot) {
  InstallerHarness h;
  h.system.system_directory = "D:\\WINNT\\system32";
  h.system.application_path = "E:\\";
  h.root.WriteFile("e/org_TOOL", "xxxxx");
  h.root.WriteFile("e/tool.dvb", "dvb");
  h.InstallAnsweringYes();
  EXPECT_EQ(h.program.locations().SourceDir, "E:\\");
  EXPECT_EQ(h.program.locations().InstallDir, "D:\\Tessaradyne");
  EXPECT_EQ(h.root.ReadFile("d/Tessaradyne/TessaradyneTOOL.mns"), "D:/Tessaradyne/\r\n");
  EXPECT_EQ(h.root.ReadFile("d/Tessaradyne/tool.dvb"), "dvb");
  EXPECT_EQ(h.root.ListSorted("e"), (Lines{"org_TOOL"}));
  EXPECT_EQ(h.toolkit.exit_code(), kExitInstalled);
}

TEST(InstallRunTest, FilesThatCouldNotBePlacedAreNamedAndTheStatusSaysSo) {
  InstallerHarness h;
  WriteDistribution(h);
  h.files.FailOn(FsOp::kReplace, "C:\\Tessaradyne\\tool.dvb");
  h.InstallAnsweringYes();
  ASSERT_EQ(h.toolkit.boxes().size(), 2u);
  const BoxRecord& done = h.toolkit.boxes()[1];
  EXPECT_EQ(done.text,
            "    セットアップは終了しましたが、次のファイルをインストールできませんでした。    "
            "\r\ntool.dvb");
  EXPECT_EQ(done.flags, kMbOk | kMbIconWarning);
  EXPECT_EQ(h.toolkit.exit_code(), kExitIncomplete);
  EXPECT_EQ(h.toolkit.Latest("UserForm4")->Control("ProgressBar1").progress, 0);
}

TEST(IncompleteMessageTest, ListsAtMostTwentyNames) {
  const std::string head =
      "    セットアップは終了しましたが、次のファイルをインストールできませんでした。    ";
  std::vector<std::string> names;
  std::string expected = head;
  for (int i = 1; i <= 20; ++i) {
    names.push_back("f" + std::to_string(i) + ".dvb");
    expected += "\r\n" + names.back();
  }
  EXPECT_EQ(IncompleteMessage(names), expected);
  names.push_back("f21.bmp");
  names.push_back("f22.mns");
  EXPECT_EQ(IncompleteMessage(names), expected + "\r\nほか 2 件");
}

}  // namespace
}  // namespace setup::testing
