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
  static void Shot(const std::string& name) {
    SaveScreen(ArtefactDir() + "e2e_drill_" + name + ".png");
  }
};

TEST_F(X11DesktopDrillEndToEndTest, ADrillFromTheStartWindowToTheEndOfTheSet) {
  const std::string config = dir_ / "e2e-config";
  ProgramRun run(PX_DRUMELLE, folder(), "Drumelle", config);
  ASSERT_GT(run.pid, 0);

  // The first objective alone, 3 cards.
  const std::string card =
      StartTestThroughX("Drumelle", {0}, 3, [](const char* step) { Shot(step); });
  ASSERT_FALSE(card.empty());

  TypeText("my answer");  // into the pad, which has the focus
  Shot("3_card");
  ClickAt(card, kShowAnswersX, kShowAnswersY);
  Shot("4_answers");
  for (int item = 2; item <= 3; ++item) {
    SCOPED_TRACE(item);
    ClickAt(card, kNextX, kNextY);
    ASSERT_FALSE(WaitForWindow("Item " + std::to_string(item) + " of 3").empty());
  }
  ClickAt(card, kNextX, kNextY);  // Next on the last card ends the set
  const std::string done = WaitForWindow("Drumelle");
  ASSERT_FALSE(done.empty()) << "the end-of-set message";
  Shot("5_end_of_set");
  PressKeys({"Return"});
  ASSERT_TRUE(WaitUntilGone("Drumelle"));
  ASSERT_FALSE(VisibleWindowsTitled("Item 3 of 3").empty()) << "the drill stays on the last card";

  PressKeys({"alt+f"});
  PressKeys({"x"});  // File, Exit
  EXPECT_EQ(run.children.Wait(run.pid), 0) << "Exit ends the program";

  EXPECT_FALSE(std::filesystem::exists(config + "/practice-exam")) << "a drill writes no scores";
  EXPECT_EQ(run.FolderChanges(), "") << "files of the test folder changed";
}

}  // namespace
}  // namespace testing_support
