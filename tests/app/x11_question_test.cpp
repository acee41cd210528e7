// Under the Xvfb fixture: screenshots of the question window on a single-choice item of four
// answers and on a marked multiple-choice item of five.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QTest>

#include "app/question_window.h"
#include "tests/app/app_fixture.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

using components::TrsCheckModel;

class X11QuestionWindowTest : public AppTest {
 protected:
  // Grabs the window, saves it as `name` and returns the image.
  QImage Save(QWidget* window, const char* name) {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    QCoreApplication::processEvents();
    const QImage shot = window->grab().toImage();
    EXPECT_TRUE(shot.save(QString::fromStdString(ArtefactDir() + name)));
    return shot;
  }
  // The colour at a point of the client area below the menu.
  static QColor At(const QImage& shot, app::TQuestions& w, int x, int y) {
    return shot.pixelColor(x, y + w.MainMenu1->height());
  }
};

TEST_F(X11QuestionWindowTest, ASingleChoiceItemOfFourAnswers) {
  QuestionStart({QuestionItemRow(
      {"A red light", "A green light", "A flashing amber light", "No light at all"}, "B",
      "Choose one.")});
  app::TQuestions& w = *context_->Questions;
  w.rsSuperCheck2->SetChecked(true);
  const QImage shot = Save(&w, "app_question_single_choice.png");
  EXPECT_EQ(shot.size(), w.size());
  EXPECT_EQ(w.rsSuperCheck1->CheckStyle(), TrsCheckModel::csRound);
  EXPECT_EQ(At(shot, w, 300, 12), QColor(0, 128, 128)) << "the band behind the question";
  EXPECT_EQ(At(shot, w, 300, 262), QColor(Qt::white)) << "the item's white panel";
  EXPECT_TRUE(w.RichEdit5->isHidden());
  EXPECT_EQ(w.StatusBar1->SimpleText(), "Choose one.  Time remaining: 90 minutes");
}

TEST_F(X11QuestionWindowTest, AMarkedMultipleChoiceItemOfFiveAnswers) {
  samples::QuestionRecord row =
      QuestionItemRow({"The first answer", "The second answer", "The third answer",
                       "The fourth answer", "The fifth answer"},
                      "AD", "Choose two.");
  row.memos["QUESTION"] = {"Which two of these answers are correct?"};
  QuestionStart({row});
  app::TQuestions& w = *context_->Questions;
  w.rsSuperCheck1->SetChecked(true);
  w.rsSuperCheck4->SetChecked(true);
  w.MarkCheckBox->setChecked(true);
  const QImage shot = Save(&w, "app_question_multiple_choice.png");
  EXPECT_EQ(w.rsSuperCheck1->CheckStyle(), TrsCheckModel::csSquareCheck);
  EXPECT_TRUE(w.rsSuperCheck1->Checked());
  EXPECT_TRUE(w.rsSuperCheck4->Checked()) << "two boxes stay ticked";
  EXPECT_TRUE(w.RichEdit5->isVisible());
  EXPECT_EQ(w.RichEdit1->height(), 27);
  EXPECT_EQ(At(shot, w, 300, 12), QColor(0, 128, 128));
}

}  // namespace
}  // namespace testing_support
