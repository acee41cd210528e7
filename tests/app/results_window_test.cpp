// The results window: what it shows, the score file each activation writes into the profile
// folder, the printed score report with its date-and-time text, and the ends of the program.
#include "app/results_window.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "app/date_time_text.h"
#include "app/test_controller.h"
#include "app/window_support.h"
#include "engine/dates.h"
#include "platform/core/clock.h"
#include "platform/core/locale_settings.h"
#include "platform/core/profile.h"
#include "platform/gui/application.h"
#include "platform/gui/text.h"
#include "tests/app/app_fixture.h"
#include "tests/support/qt_test_main.h"

namespace testing_support {
namespace {

namespace fs = std::filesystem;
using platform::gui::QStringToAnsi;

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> FolderNames(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

class ResultsTest : public AppTest {
 protected:
  app::TResults& Results() { return *context_->Results; }
  std::string ScorePath() const { return dir_ / "config/practice-exam/12345.ini"; }
  std::string Score(const std::string& section, const std::string& key) const {
    return platform::ReadProfileString(ScorePath(), section, key, "(none)");
  }

  // The test AB12345: one question per entry of `right` on objective `objectives[i]`, with the
  // correct answer "A", answered right when `right[i]` holds; graded, the results window
  // activated.
  void Grade(TestDefinition def, const std::vector<std::string>& objectives,
             const std::vector<bool>& right) {
    std::vector<samples::QuestionRecord> rows;
    std::vector<std::string> answers;
    for (size_t i = 0; i < objectives.size(); ++i) {
      rows.push_back(QuestionRow(objectives[i], "A", "Question " + std::to_string(i)));
    }
    def.questions = std::to_string(rows.size());
    GradingOpenTest("AB12345", def, rows);
    GradingStartTest(static_cast<int>(rows.size()));
    // The draw shuffles the questions: each is found again by its record number.
    app::TControlForm& control = *context_->ControlForm;
    int i = 0;
    GradingStoreAnswers(static_cast<int>(rows.size()), [&](const std::string&, const std::string&) {
      const int record = app::StrToInt(control.RecordNo[++i]);
      return right[static_cast<size_t>(record - 1)] ? "A" : "B";
    });
    test_folder_ = FolderNames(folder());
    control.GradeTest();
    ASSERT_TRUE(WaitForActivation(context_->Results));
  }

  std::set<std::string> test_folder_;
};

TEST_F(ResultsTest, TheWindowAsBuilt) {
  CreateWindows();
  app::TResults& r = Results();
  EXPECT_EQ(r.windowTitle(), "Examination Score Report");
  EXPECT_EQ(r.size(), QSize(629, 431));
  EXPECT_TRUE(r.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(r.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(r.pos(), app::CentredPosition(r.screen()->geometry().size(), r.size()) +
                         r.screen()->geometry().topLeft());
  EXPECT_EQ(r.RequiredScoreGauge->geometry(), QRect(112, 48, 497, 24));
  EXPECT_EQ(r.UserScoreGauge->geometry(), QRect(112, 88, 497, 24));
  EXPECT_EQ(r.RequiredScoreGauge->UsedColor(), 0x800000u);
  EXPECT_EQ(r.RequiredScoreGauge->ShadowColor(), 0x400000u);
  EXPECT_EQ(r.UserScoreGauge->UsedColor(), 0x808040u);
  EXPECT_EQ(r.UserScoreGauge->ShadowColor(), 0x400040u);
  EXPECT_EQ(r.UserScore->text(), "0");
  EXPECT_TRUE(r.UserScore->isReadOnly() && r.PassingScore->isReadOnly() && r.Grade->isReadOnly());

  QListWidget* list = r.ObjectiveAnalysisList;
  EXPECT_EQ(list->geometry(), QRect(10, 200, 611, 153));
  EXPECT_EQ(list->font().family(), "DejaVu Sans Mono");
  EXPECT_TRUE(list->font().bold());
  EXPECT_EQ(list->font().pixelSize(), 11);
  EXPECT_EQ(list->palette().color(QPalette::Base), QColor(0xC0, 0xC0, 0xC0));
  EXPECT_EQ(list->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(list->focusPolicy(), Qt::NoFocus);
  list->addItem("line");
  EXPECT_EQ(list->sizeHintForRow(0), 14);

  EXPECT_EQ(r.Button1->text(), "&Print");
  EXPECT_EQ(r.Button2->text(), "E&xit");
  EXPECT_EQ(r.ShowMeWhatIMissedBtn->text(), "Show Me What I Missed");
  EXPECT_TRUE(r.RichEdit1->isHidden());
  EXPECT_TRUE(r.VexaEdit1->isHidden());
  EXPECT_FALSE(r.VexaSource1.UseAppDir());
}

TEST_F(ResultsTest, ScoreFileNamesComeFromTheQuestionTable) {
  const struct {
    const char* dbf;
    const char* ini;
  } cases[] = {
      {"AB12345.dbf", "12345.ini"}, {"AB1.dbf", "1.dbf.ini"}, {"AB", ".ini"}, {"ABC", "C.ini"}};
  for (const auto& c : cases) EXPECT_EQ(app::TResults::ScoreFileName(c.dbf), c.ini) << c.dbf;
}

TEST_F(ResultsTest, TheScoreFileGoesToTheProfileFolderWithTheScoreGradeAndObjectives) {
  TestDefinition def;
  def.objectives = {"Planning", "Untested", "Security"};
  Grade(def, {"Planning", "Planning", "Security", "Security"}, {true, true, true, false});
  EXPECT_EQ(Results().UserScore->text(), "750");
  EXPECT_EQ(Score("Scores", "VelkorinScore"), "750");
  EXPECT_EQ(Score("Scores", "VelkorinPassFail"), "Pass");
  EXPECT_EQ(Score("Planning", "VelkorScore"), "100");
  EXPECT_EQ(Score("Security", "VelkorScore"), "50");
  EXPECT_EQ(platform::ReadProfileString(ScorePath(), std::nullopt, std::nullopt, ""),
            std::string("Scores\0Planning\0Security\0", 25));
  EXPECT_EQ(FolderNames(folder()), test_folder_) << "the test folder gains nothing";

  // Each activation writes the same values again: the file is left as it is.
  const std::string bytes = FileBytes(ScorePath());
  const auto written = fs::last_write_time(ScorePath());
  Results().RunActivation();
  EXPECT_EQ(FileBytes(ScorePath()), bytes);
  EXPECT_EQ(fs::last_write_time(ScorePath()), written);
  EXPECT_TRUE(services_->CallsOf("MessageBox").empty());
}

TEST_F(ResultsTest, SectionsKeepFortyCharactersAndAnEarlierRunsKeysSurvive) {
  const std::string alike(40, 'L');
  const std::string other(45, 'M');
  fs::create_directories(dir_ / "config/practice-exam");
  std::ofstream(ScorePath()) << "[Scores]\r\nVelkorinScore=1\r\nNote=kept\r\n"
                                "[Untested]\r\nVelkorScore=55\r\n";
  TestDefinition def;
  def.objectives = {alike + "AAAAA", alike + "BB", other, "Untested"};
  Grade(def, {alike + "AAAAA", alike + "BB", other}, {true, false, true});
  EXPECT_EQ(Score(alike, "VelkorScore"), "0") << "the later of two objectives alike in 40";
  EXPECT_EQ(Score(other.substr(0, 40), "VelkorScore"), "100");
  EXPECT_EQ(Score(other, "VelkorScore"), "(none)");
  EXPECT_EQ(Score("Scores", "VelkorinScore"), "667");
  EXPECT_EQ(Score("Scores", "Note"), "kept");
  EXPECT_EQ(Score("Untested", "VelkorScore"), "55") << "an objective without questions";
}

TEST_F(ResultsTest, NoScoreFileUnlessTheTestDefinitionAsksForIt) {
  for (const char* write_scores : {"0", ""}) {
    SCOPED_TRACE(write_scores);
    context_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TestDefinition def;
    def.write_scores = write_scores;
    Grade(def, {"Objective one"}, {true});
    EXPECT_EQ(Results().UserScore->text(), "1000");
    EXPECT_FALSE(fs::exists(dir_ / "config/practice-exam/12345.ini"));
  }
}

TEST_F(ResultsTest, AScoreFileThatCannotBeWrittenIsNamedInOneBox) {
  // A folder in the place of the file: no write reaches it, whoever runs the test.
  fs::create_directories(ScorePath());
  services_->AnswerBox(
      platform::kResultOk,
      QString::fromStdString("The score could not be saved to " + ScorePath() + "."));
  Grade({}, {"Objective one"}, {true});
  QTest::qWait(50);  // the activation after the box: it tries again, without a second box
  EXPECT_FALSE(platform::gui::ActivationPending(context_->Results));
  EXPECT_EQ(services_->CallsOf("MessageBox").size(), 1u);
  EXPECT_TRUE(Results().isVisible());
  EXPECT_EQ(Results().Grade->text(), "Pass");
}

class ReportTest : public ResultsTest {
 protected:
  void SetUp() override {
    ResultsTest::SetUp();
    saved_locale_ = platform::Locale();
    platform::SetTestNow({2024, 3, 5, 0, 14, 7, 9, 0});
  }
  void TearDown() override {
    platform::Locale() = saved_locale_;
    ResultsTest::TearDown();
  }
  // A graded test of two objectives, 1 of 2 right.
  void GradeSmallTest() {
    TestDefinition def;
    def.write_scores = "0";
    Grade(def, {"Objective one", "Objective two"}, {true, false});
  }
  std::vector<std::string> ExpectedLines(const std::string& date_time) {
    return {"",
            "Examination Score Report for Demo Test",
            date_time,
            "Your Score: 500",
            "Passing Score: 700",
            "Grade: Fail",
            "",
            "Objective Analysis:",
            " 1. Objective one" + std::string(55, '.') + "100% Correct",
            " 2. Objective two" + std::string(57, '.') + "0% Correct"};
  }
  static std::vector<std::string> Lines(const QString& text) {
    std::vector<std::string> lines;
    for (const QString& line : text.split('\n')) lines.push_back(QStringToAnsi(line));
    return lines;
  }

  platform::LocaleSettings saved_locale_;
};

TEST_F(ReportTest, TheReportLinesWithTheDateAndTimeInTheLocalesFormats) {
  GradeSmallTest();
  platform::Locale().ShortDateFormat = "MM/dd/yy";
  platform::Locale().LongTimeFormat = "hh:mm:ss";
  Results().Button1->click();
  ASSERT_EQ(services_->printed().size(), 1u);
  EXPECT_EQ(services_->printed()[0].title, "Examination Score Report");
  EXPECT_EQ(services_->printed()[0].font.family(), "DejaVu Sans Mono");
  EXPECT_EQ(Lines(services_->printed()[0].text), ExpectedLines("03/05/24 14:07:09"));

  // Day first with four-digit years; a second press prints one copy again.
  engine::Century = true;
  engine::SetDateMode(5);
  Results().Button1->click();
  ASSERT_EQ(services_->printed().size(), 2u);
  EXPECT_EQ(Lines(services_->printed()[1].text), ExpectedLines("05.03.2024 14:07:09"));
}

TEST(DateTimeTextTest, FormatsFillTheirFields) {
  const platform::LocalTime afternoon{2024, 3, 5, 0, 14, 7, 9, 0};
  const platform::LocalTime midnight{2007, 11, 25, 0, 0, 5, 30, 0};
  const struct {
    const char* format;
    platform::LocalTime t;
    const char* text;
  } cases[] = {
      {"MM/dd/yy hh:mm:ss", afternoon, "03/05/24 14:07:09"},
      {"d.M.yyyy h:m:s", afternoon, "5.3.2024 14:7:9"},
      {"hh:mm:ss AP", afternoon, "02:07:09 PM"},
      {"h:mm ap", midnight, "12:05 am"},
      {"yyyy-MM-dd", midnight, "2007-11-25"},
      {"yy/x", midnight, "07/x"},
  };
  for (const auto& c : cases) EXPECT_EQ(app::FormatDateTime(c.format, c.t), c.text) << c.format;
}

TEST_F(ReportTest, ThePrintedPdfHoldsTheLinesUnderTheJobsTitle) {
  platform::Locale().ShortDateFormat = "MM/dd/yy";
  platform::Locale().LongTimeFormat = "hh:mm:ss";
  const std::string pdfs = dir_ / "pdf";
  fs::create_directories(pdfs);
  services_->set_pdf_folder(QString::fromStdString(pdfs));
  GradeSmallTest();
  Results().Button1->click();
  ASSERT_EQ(services_->pdf_files().size(), 1u);
  const QString pdf = services_->pdf_files()[0];

  QProcess text;
  text.start("pdftotext", {pdf, "-"});
  ASSERT_TRUE(text.waitForFinished(10000));
  std::vector<std::string> printed;
  for (const QString& line : QString(text.readAllStandardOutput()).split('\n')) {
    if (!line.trimmed().isEmpty()) printed.push_back(line.trimmed().toStdString());
  }
  std::vector<std::string> expected;
  for (const std::string& line : ExpectedLines("03/05/24 14:07:09")) {
    const QString trimmed = QString::fromStdString(line).trimmed();
    if (!trimmed.isEmpty()) expected.push_back(trimmed.toStdString());
  }
  EXPECT_EQ(printed, expected);

  QProcess info;
  info.start("pdfinfo", {pdf});
  ASSERT_TRUE(info.waitForFinished(10000));
  EXPECT_TRUE(QString(info.readAllStandardOutput())
                  .contains(QRegularExpression("^Title:\\s+Examination Score Report$",
                                               QRegularExpression::MultilineOption)));
}

TEST_F(ReportTest, AFailingPrintShowsItsErrorInABox) {
  GradeSmallTest();
  services_->set_print_result({false, "The printer is not available."});
  services_->AnswerBox(platform::kResultOk, "The printer is not available.");
  Results().Button1->click();
  EXPECT_TRUE(services_->printed().empty());
  EXPECT_EQ(services_->CallsOf("MessageBox").size(), 1u);
  EXPECT_FALSE(platform::gui::TerminateRequested());
}

TEST_F(ResultsTest, ExitAndClosingEndTheProgram) {
  for (const char* how : {"Exit", "close"}) {
    SCOPED_TRACE(how);
    platform::gui::ResetTerminateRequest();
    CreateWindows();
    ShowAndActivate(context_->Results);
    if (std::string(how) == "Exit") {
      Results().Button2->click();
    } else {
      Results().close();
    }
    EXPECT_TRUE(platform::gui::TerminateRequested());
    EXPECT_EQ(services_->CallKinds().back(), "Quit");
  }
}

}  // namespace
}  // namespace testing_support
