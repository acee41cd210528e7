// As a user: the practice-exam program started as its own process in a copy of the demo test,
// under the fixture's window manager, and driven only through X input: the start window, the
// confirmation, answers on a few items with one marked, the item review, Grade Now, the score
// report and Exit. Click positions are client positions of the windows' own layouts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/app/x11_helpers.h"
#include "tests/builds/exam_fixture.h"
#include "tests/support/processes.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/x_desktop.h"

namespace testing_support {
namespace {

constexpr char kTitle[] = "Tarvo Oskavane";

class X11DesktopExamEndToEndTest : public ExamTest {
 protected:
  static void Shot(const std::string& name) {
    SaveScreen(ArtefactDir() + "e2e_exam_" + name + ".png");
  }
};

TEST_F(X11DesktopExamEndToEndTest, AnExamFromTheStartWindowToTheScoreReport) {
  const std::string config = dir_ / "e2e-config";
  ProgramRun run(PX_OSKAVANE, folder(), "Oskavane", config);
  ASSERT_GT(run.pid, 0);

  const std::string start = WaitForWindow(kTitle);
  ASSERT_FALSE(start.empty()) << "no start window";
  Shot("start");
  ClickAt(start, 576, 408);  // Next
  const std::string confirmation = WaitForWindow(kTitle, start);
  ASSERT_FALSE(confirmation.empty()) << "Next shows the confirmation";
  Shot("confirmation");
  ClickAt(confirmation, 576, 408);  // Start

  // The demo test asks 20 questions: A on the first three, the second marked, then Next to the
  // end, where the item review shows.
  const std::string sheet = WaitForWindow("Item 1 of 20");
  ASSERT_FALSE(sheet.empty()) << "Start shows the first item";
  for (int item = 1; item <= 20; ++item) {
    SCOPED_TRACE(item);
    ASSERT_FALSE(WaitForWindow("Item " + std::to_string(item) + " of 20").empty());
    if (item <= 3) ClickAt(sheet, 30, 147);  // answer A
    if (item == 2) {
      ClickAt(sheet, 30, 11);  // Mark
      Shot("marked_item");
    }
    ClickAt(sheet, 150, 413);  // Next
  }
  const std::string review = WaitForWindow("Item Review");
  ASSERT_FALSE(review.empty()) << "Next on the last item shows the item review";
  Shot("item_review");
  ClickAt(review, 292, 413);  // Grade Now

  const std::string results = WaitForWindow("Examination Score Report");
  ASSERT_FALSE(results.empty()) << "Grade Now shows the score report";
  Shot("results");
  ClickAt(results, 576, 408);  // Exit
  EXPECT_EQ(run.children.Wait(run.pid), 0) << "Exit ends the program";

  const std::string scores = ScoreFileText(config);
  EXPECT_NE(scores.find("[Scores]"), std::string::npos) << scores;
  EXPECT_NE(scores.find("OskavaneScore="), std::string::npos) << scores;
  EXPECT_NE(scores.find("OskavanePassFail="), std::string::npos) << scores;
  EXPECT_EQ(scores.find("Velkorin"), std::string::npos) << scores;
  EXPECT_EQ(run.FolderChanges(), "") << "files of the test folder changed";
}

}  // namespace
}  // namespace testing_support
