// The practice-exam build from its start window to the built test: the start window's keys and
// summary, the confirmation and its Start, the draw over every objective, the test length that
// follows the draw, the end when there is no question, and the score report and keys.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/building_test_dlg.h"
#include "app/item_review_window.h"
#include "app/results_window.h"
#include "app/window_support.h"
#include "builds/exam/exam_controller.h"
#include "builds/exam/exam_disclaimer.h"
#include "builds/exam/exam_questions.h"
#include "builds/exam/exam_results.h"
#include "builds/exam/exam_selector.h"
#include "builds/exam/exam_start_window.h"
#include "platform/core/clock.h"
#include "platform/core/locale_settings.h"
#include "platform/core/profile.h"
#include "platform/gui/text.h"
#include "tests/builds/exam_fixture.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;

// `count` rows of each objective in `objectives`, objective by objective, and a filler row
// (the walk never examines the table's last record).
std::vector<samples::QuestionRecord> Rows(const std::vector<std::string>& objectives, int count) {
  std::vector<samples::QuestionRecord> rows;
  for (const std::string& objective : objectives) {
    for (int i = 0; i < count; ++i) rows.push_back(QuestionRow(objective, "A"));
  }
  rows.push_back(QuestionRow("Filler"));
  return rows;
}

std::vector<std::string> Names(int count, int first = 1) {
  std::vector<std::string> names;
  for (int k = first; k < first + count; ++k) names.push_back("Objective " + std::to_string(k));
  return names;
}

class ExamStartTest : public ExamTest {
 protected:
  exam::TStartUp& Start() { return *exam_context().ExamStartUp(); }
  exam::TDisclaimer& Confirmation() { return *exam_context().ExamDisclaimer(); }
  app::TControlForm& Control() { return *context_->ControlForm; }

  // The test "t" with `def` and `rows`, the start window shown and Next pressed.
  void OpenConfirmation(const TestDefinition& def,
                        const std::vector<samples::QuestionRecord>& rows) {
    OpenTest(def, rows);
    Start().NextBtn->click();
    ASSERT_TRUE(WaitForActivation(context_->Disclaimer));
  }
  // Start on the confirmation; true when a test was built.
  bool StartExam() {
    Confirmation().NextBtn->click();
    return context_->Test.TestRunning;
  }
  // The record numbers of items 1 ... OnTest.
  std::vector<int> Items() {
    std::vector<int> items;
    for (int i = 1; i <= app::StrToInt(Control().OnTest->text()); ++i)
      items.push_back(app::StrToInt(Control().RecordNo[i]));
    return items;
  }
};

TEST_F(ExamStartTest, TheStartWindowReadsItsKeysAndShowsTheSummary) {
  TestDefinition def;
  def.name = "Networking Exam";
  def.questions = "60";
  def.time_limit = "90";
  def.passing_score = "700";
  def.write_scores = "1";
  def.show_chapter = "0";
  def.show_links = "1";
  OpenTest(def, Rows({"Objective one"}, 3));
  exam::TStartUp& start = Start();
  const app::TStartUpValues& v = context_->Values;
  EXPECT_EQ(v.WriteScores, "1");
  EXPECT_EQ(v.ShowChapter, "0");
  EXPECT_EQ(v.ShowLinks, "1");
  EXPECT_EQ(start.VexaEdit4->INIItem(), "Write Scores");
  EXPECT_EQ(start.VexaEdit5->INIItem(), "Show Chapter");
  EXPECT_EQ(start.VexaEdit6->INIItem(), "Show Links");
  EXPECT_EQ(start.VexaShowLinks->text(), "VexaShowLinks") << "never read";
  EXPECT_EQ(v.BookFile, "") << "the exam has no book";
  EXPECT_EQ(v.DbfName, "t.dbf");
  EXPECT_EQ(v.MinutesLeft, 90);
  EXPECT_EQ(exam_context().ExamQuestions()->Label1->text(), "Time Remaining: 90 minutes");
  EXPECT_EQ(context_->ItemReview->TimeLabel->text(), "Time Remaining: 90 minutes");
  EXPECT_EQ(start.Memo2->toPlainText(),
            "This exam will present 60 questions.  The time limit for this exam is 90 minutes.  "
            "You will be allowed to review previous questions and to mark those you wish to "
            "review later.  When you end the test, the test will be scored and you will no "
            "longer be able to see questions or change your answers.  A score of 700 or higher "
            "is required to pass this test. The test will also end if the specified time limit "
            "expires.");

  // The look.
  EXPECT_EQ(start.windowTitle(), "Tarvo Oskavane");
  EXPECT_EQ(start.size(), QSize(629, 431));
  EXPECT_EQ(start.Label2->text(), "Welcome!");
  EXPECT_TRUE(start.VexaLabel1->isVisible());
  EXPECT_EQ(start.VexaLabel1->Caption(), "Networking Exam");
  EXPECT_EQ(start.Memo2->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(start.Memo2->palette().color(QPalette::Base), QColor(0xc0, 0xc0, 0xc0));
  EXPECT_TRUE(start.Memo2->isReadOnly());
  for (QPushButton* button : {start.NextBtn, start.ExitBtn}) {
    EXPECT_FALSE(button->isDefault() || button->autoDefault()) << button->text().toStdString();
  }
  EXPECT_TRUE(start.Panel1->isHidden());
  EXPECT_TRUE(start.Image1->isHidden());
  EXPECT_TRUE(start.GroupBox2->isHidden());
  EXPECT_TRUE(start.GroupBox1->title().isEmpty());
  EXPECT_TRUE(start.Logo1->isVisible());
  EXPECT_FALSE(platform::gui::TerminateRequested());
}

TEST_F(ExamStartTest, ANumberOfQuestionsThatIsNoNumberEndsTheProgram) {
  TestDefinition def;
  def.questions = "x";
  WriteTestDefinition(folder() + "t.ini", def);
  WriteQuestionTable(folder() + "t.dbf", Rows({"Objective one"}, 2));
  CreateWindows();
  services_->AnswerBox(platform::kResultOk,
                       "The value of 'Number of Questions' in t.ini is missing or is not a whole "
                       "number. Quitting application.");
  ShowAndActivate(context_->StartUp);
  EXPECT_EQ(services_->CallKinds(), (std::vector<std::string>{"MessageBox", "Quit"}));
  EXPECT_TRUE(platform::gui::TerminateRequested());
  EXPECT_TRUE(Start().Memo2->toPlainText().isEmpty());
}

TEST_F(ExamStartTest, TheConfirmationLeadsBackAndForthAndOnlyHidesOnAFrameClose) {
  TestDefinition def;
  def.name = "Networking Exam";
  OpenConfirmation(def, Rows({"Objective one"}, 2));
  exam::TDisclaimer& c = Confirmation();
  EXPECT_TRUE(Start().isVisible()) << "Next keeps the start window";
  EXPECT_EQ(c.windowTitle(), "Tarvo Oskavane");
  EXPECT_EQ(c.size(), QSize(629, 431));
  EXPECT_EQ(c.Label2->text(), "Networking Exam");
  EXPECT_EQ(c.RichEdit1->toPlainText(), QString::fromLatin1(app::kDisclaimer));
  EXPECT_EQ(c.NextBtn->text(), "&Start");
  EXPECT_EQ(c.ExitBtn->text(), "E&xit");
  EXPECT_EQ(c.Button1->text(), "&Previous");
  for (QPushButton* button : {c.NextBtn, c.ExitBtn, c.Button1}) {
    EXPECT_FALSE(button->isDefault() || button->autoDefault()) << button->text().toStdString();
  }

  // Enter and Escape do nothing; a frame close hides the window and nothing else.
  for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&c, &press);
    EXPECT_TRUE(c.isVisible()) << key;
  }
  EXPECT_FALSE(context_->Test.TestRunning);
  c.close();
  EXPECT_TRUE(c.isHidden());
  EXPECT_TRUE(Start().isVisible());
  ASSERT_EQ(context_->Disclaimer, &c) << "a close releases nothing";

  Start().NextBtn->click();
  ASSERT_TRUE(WaitForActivation(&c));
  c.Button1->click();
  EXPECT_TRUE(c.isHidden());
  EXPECT_TRUE(Start().isVisible());
  EXPECT_FALSE(platform::gui::TerminateRequested());
  c.ExitBtn->click();
  EXPECT_TRUE(platform::gui::TerminateRequested());
}

TEST_F(ExamStartTest, StartBuildsTheTestOpensItemOneAndReleasesTheConfirmation) {
  TestDefinition def;
  def.questions = "4";
  def.objectives = {"One", "Two"};
  OpenConfirmation(def, Rows({"One", "Two"}, 3));
  services_->set_random_seed(7);
  QPointer<QWidget> confirmation = context_->Disclaimer;
  ASSERT_TRUE(StartExam());
  app::TAppContext& ctx = *context_;
  EXPECT_EQ(ctx.Disclaimer, nullptr);
  EXPECT_EQ(ctx.QSelector, nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(confirmation.isNull()) << "the window is gone";
  EXPECT_TRUE(ctx.StartUp->isHidden());
  EXPECT_TRUE(ctx.Questions->isVisible());
  EXPECT_EQ(ctx.Test.CurrentItem, 1);
  EXPECT_EQ(Control().OnTest->text(), "4");
  EXPECT_EQ(Control().PointsPerQuestion->text(), "250");
  EXPECT_EQ(Control().TotalQuestions->text(), "7");
  EXPECT_EQ(Control().AllObjectives->Items(), (QStringList{"One", "Two"}));
  EXPECT_EQ(Control().correctAnswers.Count(), 5);
  for (const app::TTestList* list : {&Control().userAnswers, &Control().marked}) {
    EXPECT_EQ(list->Count(), 1) << "the placeholder only";
  }
  EXPECT_EQ(ctx.Questions->WenDbf1->RecNo(), app::StrToInt(Control().RecordNo[1]));
  const std::vector<int> items = Items();
  EXPECT_EQ(std::set<int>(items.begin(), items.end()).size(), 4u);
  EXPECT_FALSE(app::THourglass::IsSet());
  EXPECT_FALSE(platform::gui::TerminateRequested());
}

TEST_F(ExamStartTest, TheShareAndTheDrawOverEveryObjective) {
  const struct {
    const char* name;
    int questions, objectives, per_objective;
    int share;
    size_t drawn;
  } cases[] = {
      {"40 over 7: 5.71 gives 6, all 42 drawn kept", 40, 7, 8, 6, 42},
      {"10 over 4: 2.5 gives 2, topped up to 10", 10, 4, 5, 2, 10},
      {"30 over 4: 7.5 gives 8, all 32 kept", 30, 4, 10, 8, 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestDefinition def;
    def.questions = std::to_string(c.questions);
    def.objectives = Names(c.objectives);
    OpenConfirmation(def, Rows(def.objectives, c.per_objective));
    for (uint32_t seed : {1u, 99u, 123456789u}) {
      SCOPED_TRACE(seed);
      Control().OnTest->setText(def.questions.c_str());
      exam::TQSelector& selector = *exam_context().ExamQSelector();
      selector.LoadQuestions();
      EXPECT_EQ(selector.QuestionsPerObjective, c.share);
      EXPECT_EQ(selector.ActiveObjectives, c.objectives);
      services_->set_random_seed(seed);
      selector.PickQuestions();
      ASSERT_EQ(selector.Master2.size(), c.drawn);
      EXPECT_TRUE(selector.MasterList.empty());
      EXPECT_EQ(std::set<int32_t>(selector.Master2.begin(), selector.Master2.end()).size(), c.drawn)
          << "no record twice";
      EXPECT_EQ(Control().OnTest->text().toInt(), c.questions);
      EXPECT_EQ(context_->Test.QuestionCount, c.questions);
    }
    EXPECT_FALSE(platform::gui::TerminateRequested());
  }
}

TEST_F(ExamStartTest, AOneRecordPoolGivesItsRecordInTheFirstPass) {
  TestDefinition def;
  def.questions = "4";
  def.objectives = {"Small", "Large"};
  std::vector<samples::QuestionRecord> rows = Rows({"Large"}, 6);
  rows.insert(rows.begin() + 3, QuestionRow("Small", "A"));  // record 4
  OpenConfirmation(def, rows);
  for (uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
    SCOPED_TRACE(seed);
    services_->set_random_seed(seed);
    exam::TQSelector& selector = *exam_context().ExamQSelector();
    Control().OnTest->setText("4");
    selector.LoadQuestions();
    selector.PickQuestions();
    ASSERT_EQ(selector.Master2.size(), 4u) << "1 + 2 in the first pass, 1 from the top-up";
    EXPECT_NE(std::find(selector.Master2.begin(), selector.Master2.end(), 4),
              selector.Master2.end());
  }
}

TEST_F(ExamStartTest, TheTestIsAsLongAsTheDrawDelivers) {
  // 5 objectives of 2 records and 20 asked: the table caps OnTest at 11, the draw gives 10.
  TestDefinition def;
  def.questions = "20";
  def.objectives = Names(5);
  def.write_scores = "0";
  OpenConfirmation(def, Rows(def.objectives, 2));
  ASSERT_TRUE(StartExam());
  EXPECT_EQ(Control().OnTest->text(), "10");
  EXPECT_EQ(context_->Test.QuestionCount, 10);
  EXPECT_EQ(Control().PointsPerQuestion->text(), "100");
  EXPECT_EQ(Control().correctAnswers.Count(), 11);
  const std::vector<int> items = Items();
  EXPECT_EQ(std::set<int>(items.begin(), items.end()),
            (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(context_->Questions->windowTitle(), "Item 1 of 10");

  // Every item answered right; Next on item 10 opens the review over the 10 items, and the
  // grade is the full 1000 over the 10.
  GradingStoreAnswers(10, [](const std::string&, const std::string& correct) { return correct; });
  context_->Questions->GoToItem(10);
  EXPECT_EQ(context_->Questions->windowTitle(), "Item 10 of 10");
  context_->Questions->NewNextBtnClick();
  EXPECT_TRUE(context_->ItemReview->isVisible());
  EXPECT_EQ(context_->ItemReview->rsListBox1->Count(), 10);
  Control().GradeTest();
  EXPECT_EQ(context_->Results->UserScore->text(), "1000");
  EXPECT_EQ(context_->Results->Grade->text(), "Pass");
}

TEST_F(ExamStartTest, WithoutAQuestionTheProgramEndsWithOneMessage) {
  const struct {
    const char* name;
    std::string questions;
    std::vector<std::string> objectives;
    std::vector<samples::QuestionRecord> rows;
    bool draws;  // the draw runs (and takes a seed)
  } cases[] = {
      {"no record matches an objective", "5", {"One", "Two"}, Rows({"Other"}, 3), true},
      {"1 asked over 3 objectives beyond the twelfth", "1", Names(15),
       Rows({"Objective 13", "Objective 14", "Objective 15"}, 2), true},
      {"no question asked", "0", {"One"}, Rows({"One"}, 3), false},
      {"an empty table", "5", {"One"}, {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    platform::gui::ResetTerminateRequest();
    services_.reset();
    services_ = std::make_unique<platform::gui::TestServices>();
    TestDefinition def;
    def.questions = c.questions;
    def.objectives = c.objectives;
    OpenConfirmation(def, c.rows);
    services_->AnswerBox(platform::kResultOk, exam::kNoQuestionsMessage);
    EXPECT_FALSE(StartExam());
    std::vector<std::string> kinds = {"MessageBox", "Quit"};
    if (c.draws) kinds.insert(kinds.begin(), "RandomSeed");
    EXPECT_EQ(services_->CallKinds(), kinds);
    app::TAppContext& ctx = *context_;
    EXPECT_TRUE(platform::gui::TerminateRequested());
    EXPECT_TRUE(ctx.Test.NoQuestionsAvailable);
    EXPECT_FALSE(ctx.Test.TestRunning);
    EXPECT_EQ(ctx.Test.CurrentItem, 0);
    EXPECT_EQ(Control().RecordNo.Count(), 0) << "no RecordNo[1]";
    EXPECT_TRUE(ctx.Questions->isHidden());
    EXPECT_NE(ctx.Disclaimer, nullptr);
  }
}

TEST_F(ExamStartTest, TicksBeforeStartDoNothing) {
  TestDefinition def;
  def.time_limit = "1";
  OpenConfirmation(def, Rows({"Objective one"}, 2));
  for (int i = 0; i < 3; ++i) context_->Questions->Timer1Timer();
  EXPECT_EQ(context_->Values.MinutesLeft, 1);
  EXPECT_EQ(exam_context().ExamQuestions()->Label1->text(), "Time Remaining: 1 minutes");
  EXPECT_TRUE(services_->calls().empty()) << "no expiry";
  EXPECT_FALSE(context_->Results->isVisible());
}

class ExamReportTest : public ExamStartTest {
 protected:
  void SetUp() override {
    ExamStartTest::SetUp();
    saved_locale_ = platform::Locale();
    platform::SetTestNow({2024, 3, 5, 0, 14, 7, 9, 0});
    platform::Locale().ShortDateFormat = "MM/dd/yy";
    platform::Locale().LongTimeFormat = "hh:mm:ss";
  }
  void TearDown() override {
    platform::Locale() = saved_locale_;
    ExamStartTest::TearDown();
  }
  std::string ScorePath() const { return dir_ / "config/practice-exam/12345.ini"; }
  std::string Score(const std::string& section, const std::string& key) const {
    return platform::ReadProfileString(ScorePath(), section, key, "(none)");
  }
  // The test AB12345 of two objectives, two questions each; the questions of "Planning"
  // answered right, the others wrong; graded, the results window activated.
  void GradeExam(const std::string& write_scores) {
    TestDefinition def;
    def.name = "Demo Test";
    def.questions = "4";
    def.write_scores = write_scores;
    def.objectives = {"Planning", "Security"};
    WriteTestDefinition(folder() + "AB12345.ini", def);
    WriteQuestionTable(folder() + "AB12345.dbf", Rows(def.objectives, 2));
    CreateWindows();
    ShowAndActivate(context_->StartUp);
    Start().NextBtn->click();
    ASSERT_TRUE(WaitForActivation(context_->Disclaimer));
    ASSERT_TRUE(StartExam());
    GradingStoreAnswers(4, [](const std::string& objective, const std::string&) {
      return objective == "Planning" ? "A" : "B";
    });
    Control().GradeTest();
    ASSERT_TRUE(WaitForActivation(context_->Results));
  }

  platform::LocaleSettings saved_locale_;
};

TEST_F(ExamReportTest, ThePrintedReportHasItsNineKindsOfLines) {
  const std::string pdfs = dir_ / "pdf";
  fs::create_directories(pdfs);
  services_->set_pdf_folder(QString::fromStdString(pdfs));
  GradeExam("0");
  const std::vector<std::string> expected = {
      "",
      "Examination Score Report for Demo Test for 03/05/24 14:07:09",
      "",
      "Your Score: 500",
      "Passing Score: 700",
      "Grade: Fail",
      "",
      "Objective Analysis:",
      " 1. Planning" + std::string(60, '.') + "100% Correct",
      " 2. Security" + std::string(62, '.') + "0% Correct"};
  context_->Results->Button1->click();
  context_->Results->Button1->click();
  ASSERT_EQ(services_->printed().size(), 2u);
  for (const platform::gui::PrintJob& job : services_->printed()) {
    EXPECT_EQ(job.title, "Examination Score Report");
    std::vector<std::string> lines;
    for (const QString& line : job.text.split('\n'))
      lines.push_back(platform::gui::QStringToAnsi(line));
    EXPECT_EQ(lines, expected) << "each press prints the report once";
  }

  ASSERT_EQ(services_->pdf_files().size(), 2u);
  QProcess text;
  text.start("pdftotext", {"-layout", services_->pdf_files()[0], "-"});
  ASSERT_TRUE(text.waitForFinished(10000));
  std::vector<std::string> printed;
  for (const QString& line : QString(text.readAllStandardOutput()).split('\n')) {
    if (!line.trimmed().isEmpty()) printed.push_back(line.trimmed().toStdString());
  }
  std::vector<std::string> shown;
  for (const std::string& line : expected) {
    if (!line.empty()) shown.push_back(QString::fromStdString(line).trimmed().toStdString());
  }
  EXPECT_EQ(printed, shown);
}

TEST_F(ExamReportTest, TheScoreKeysGoBesideAStudyRunsWhichSurvive) {
  fs::create_directories(fs::path(ScorePath()).parent_path());
  std::ofstream(ScorePath()) << "[Scores]\r\nVelkorinScore=900\r\nVelkorinPassFail=Pass\r\n"
                                "[Planning]\r\nVelkorScore=80\r\n";
  GradeExam("1");
  EXPECT_EQ(Score("Scores", "OskavaneScore"), "500");
  EXPECT_EQ(Score("Scores", "OskavanePassFail"), "Fail");
  EXPECT_EQ(Score("Planning", "OskavaneScore"), "100");
  EXPECT_EQ(Score("Security", "OskavaneScore"), "0");
  EXPECT_EQ(Score("Scores", "VelkorinScore"), "900");
  EXPECT_EQ(Score("Scores", "VelkorinPassFail"), "Pass");
  EXPECT_EQ(Score("Planning", "VelkorScore"), "80");
}

}  // namespace
}  // namespace testing_support
