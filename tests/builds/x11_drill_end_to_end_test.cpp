// As a user: the drill program started as its own process in a copy of the demo test, under the
// fixture's window manager, and driven only through X input: the start window, the objective
// window, the cards with Show Answers, the end of the set and Exit. Click positions are client
// positions of the windows' own layouts (the card window's include its menu bar).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/app/x11_helpers.h"
#include "tests/builds/drill_fixture.h"
#include "tests/support/processes.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/x_desktop.h"

namespace testing_support {
namespace {

// Client positions of the card window's Show Answers and Next.
constexpr int kShowAnswersX = 568, kShowAnswersY = 310;
constexpr int kNextX = 568, kNextY = 390;

class X11DesktopDrillEndToEndTest : public DrillTest {
 protected:
  static void Shot(const std::string& name) { SaveScreen(ArtefactDir() + "e2e_drill_" + name); }
};

TEST_F(X11DesktopDrillEndToEndTest, ADrillFromTheStartWindowToTheEndOfTheSet) {
  CopyDemo(folder());
  const std::string program = folder() + "Drumelle";
  std::filesystem::copy_file(PX_DRUMELLE, program);
  const FolderSnapshot before = Snapshot(folder());
  const std::string config = dir_ / "e2e-config";
  ChildProcesses children;
  const pid_t pid = children.Start(
      [&] {
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        return 127;
      },
      110);
  ASSERT_GT(pid, 0);

  const std::string start = WaitForWindow("Drumelle");
  ASSERT_FALSE(start.empty()) << "no start window";
  Shot("1_start.png");
  ClickAt(start, 576, 408);  // Next

  // The objective window has the start window's title; the first objective alone, 3 cards.
  const std::string objectives = WaitForWindow("Drumelle", start);
  ASSERT_FALSE(objectives.empty()) << "no objective window";
  ClickAt(objectives, 174, 379);  // Select None
  ClickAt(objectives, 24, 140);   // the first objective's box
  ClickAt(objectives, 571, 143);  // Number of Questions
  PressKeys({"ctrl+a", "BackSpace"});
  TypeText("3");
  Shot("2_objectives.png");
  ClickAt(objectives, 566, 387);  // Start Test
  const std::string card = WaitForWindow("Item 1 of 3");
  ASSERT_FALSE(card.empty()) << "Start Test shows the first card";
  ASSERT_TRUE(WaitUntilGone("Please Wait"));

  TypeText("my answer");  // into the pad, which has the focus
  Shot("3_card.png");
  ClickAt(card, kShowAnswersX, kShowAnswersY);
  Shot("4_answers.png");
  for (int item = 2; item <= 3; ++item) {
    SCOPED_TRACE(item);
    ClickAt(card, kNextX, kNextY);
    ASSERT_FALSE(WaitForWindow("Item " + std::to_string(item) + " of 3").empty());
  }
  ClickAt(card, kNextX, kNextY);  // Next on the last card ends the set
  const std::string done = WaitForWindow("Drumelle");
  ASSERT_FALSE(done.empty()) << "the end-of-set message";
  Shot("5_end_of_set.png");
  PressKeys({"Return"});
  ASSERT_TRUE(WaitUntilGone("Drumelle"));
  ASSERT_FALSE(VisibleWindowsTitled("Item 3 of 3").empty()) << "the drill stays on the last card";

  PressKeys({"alt+f"});
  PressKeys({"x"});  // File, Exit
  EXPECT_EQ(children.Wait(pid), 0) << "Exit ends the program";

  EXPECT_FALSE(std::filesystem::exists(config + "/practice-exam")) << "a drill writes no scores";
  EXPECT_EQ(SnapshotChanges(before, Snapshot(folder())), "") << "files of the test folder changed";
}

}  // namespace
}  // namespace testing_support
