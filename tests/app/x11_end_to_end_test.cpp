// As a user: the study program started as its own process in a copy of the demo test, under the
// fixture's window manager, and driven only through X input from the start window to the
// missed-questions report and Exit. Click positions are client positions of the windows' own
// layouts (the question window's include its menu bar).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/app/app_fixture.h"
#include "tests/app/x11_helpers.h"
#include "tests/support/processes.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/x_desktop.h"

namespace testing_support {
namespace {

class X11DesktopEndToEndTest : public AppTest {
 protected:
  // Saves the screen as step `name` of this run.
  static void Shot(const std::string& name) {
    SaveScreen(ArtefactDir() + "e2e_study_" + name + ".png");
  }
};

TEST_F(X11DesktopEndToEndTest, AStudyTestFromTheStartWindowToTheMissedReport) {
  const std::string config = dir_ / "e2e-config";
  ProgramRun run(PX_VELKORIN, folder(), "Velkorin", config);
  ASSERT_GT(run.pid, 0);

  // The first and third objectives, 5 questions.
  ASSERT_FALSE(
      StartTestThroughX("Velkorin", {0, 2}, 5, [](const char* step) { Shot(step); }).empty());

  for (int item = 1; item <= 5; ++item) {
    SCOPED_TRACE(item);
    const std::string question = WaitForWindow("Item " + std::to_string(item) + " of 5");
    if (question.empty()) Shot("failed_item");
    ASSERT_FALSE(question.empty());
    ClickAt(question, 24, 109);  // answer A
    if (item == 2) {
      ClickAt(question, 18, 390);  // Mark Question
      Shot("3_marked_item");
    }
    ClickAt(question, 568, 390);  // Next
  }

  // Review Marked lives on the item review, which Next on the last item shows and Grade Now
  // hides: the marked item is reviewed first, then the test graded.
  const std::string review = WaitForWindow("Item Review");
  ASSERT_FALSE(review.empty()) << "Next on the last item shows the item review";
  Shot("4_item_review");
  ClickAt(review, 55, 412);  // Review Marked
  const std::string marked = WaitForWindow("Item 2 of 5");
  ASSERT_FALSE(marked.empty()) << "Review Marked shows the marked item";
  Shot("5_review_marked");
  ClickAt(marked, 237, 390);  // Item Review
  const std::string again = WaitForWindow("Item Review");
  ASSERT_FALSE(again.empty());
  ClickAt(again, 276, 412);  // Grade Now

  const std::string results = WaitForWindow("Examination Score Report");
  ASSERT_FALSE(results.empty()) << "Grade Now shows the results";
  Shot("6_results");
  ClickAt(results, 314, 408);  // Show Me What I Missed
  const std::string missed = WaitForWindow("Missed Items");
  ASSERT_FALSE(missed.empty()) << "the missed-questions report";
  Shot("7_missed");
  ClickAt(missed, 575, 412);  // Exit
  EXPECT_EQ(run.children.Wait(run.pid), 0) << "Exit ends the program";

  // The score file in the profile folder: the total, pass or fail, and the objectives'
  // sections (the two chosen objectives were graded, the others are absent).
  const std::string scores = ScoreFileText(config);
  EXPECT_NE(scores.find("[Scores]"), std::string::npos) << scores;
  EXPECT_NE(scores.find("VelkorinScore="), std::string::npos) << scores;
  const bool verdict = scores.find("VelkorinPassFail=Pass") != std::string::npos ||
                       scores.find("VelkorinPassFail=Fail") != std::string::npos;
  EXPECT_TRUE(verdict) << scores;
  size_t sections = 0;
  for (size_t at = scores.find("VelkorScore="); at != std::string::npos;
       at = scores.find("VelkorScore=", at + 1))
    ++sections;
  EXPECT_EQ(sections, 2u) << scores;
  EXPECT_EQ(run.FolderChanges(), "") << "files of the test folder changed";
}

}  // namespace
}  // namespace testing_support
