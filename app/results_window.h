// The results window: the pass mark and the score as two meters, the passing score, the score
// and the grade as text, and the objective analysis. Grading fills and shows it. Each
// activation writes the score file when the test definition asks for it; "Print" prints the
// score report; "Exit" and closing the window end the program.
#pragma once

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTextEdit>
#include <QWidget>
#include <string>

#include "components/core/vexa_source.h"
#include "components/gui/ovc_meter.h"
#include "components/gui/vexa_controls.h"
#include "platform/gui/activation.h"

namespace app {

class TResults : public QWidget, public platform::gui::FormActivation {
 public:
  TResults();
  // Centres the window; runs once, after every window constructed before it.
  virtual void FormCreate();

  QLabel* Label1;  // the test name
  QLabel* Label2;  // "Required Score"
  QLabel* Label3;  // "Your Score"
  components::TOvcMeter* RequiredScoreGauge;
  components::TOvcMeter* UserScoreGauge;
  QLabel* Label7;  // scale marks "0", "500", "1000"
  QLabel* Label9;
  QLabel* Label8;
  QLabel* Label4;  // "Passing Score"
  QLineEdit* PassingScore;
  QLabel* Label5;  // "Your Score"
  QLineEdit* UserScore;
  QLabel* Label6;  // "Grade"
  QLineEdit* Grade;
  QLabel* Label10;  // "Objective Analysis"
  QListWidget* ObjectiveAnalysisList;
  QLabel* Label11;  // the disclaimer
  QPushButton* Button1;
  QPushButton* ShowMeWhatIMissedBtn;
  QPushButton* Button2;
  QTextEdit* RichEdit1;                 // the printed report (hidden)
  components::TVexaSource VexaSource1;  // the score file
  components::TVexaEdit* VexaEdit1;     // writes one key of it at a time (hidden)

  // "Print": the score report, alone in RichEdit1, printed as one job.
  virtual void Button1Click();
  // "Show Me What I Missed": the missed-questions report, written afresh into the missed-items
  // window, which is then shown; nothing in a build without that window. Leaves the question
  // table on the record of the last missed question.
  virtual void ShowMeWhatIMissedBtnClick();
  // "Exit": ends the program.
  virtual void Button2Click();
  // Closing the window ends the program.
  virtual void FormClose();

  // The score file's bare name for the question table `dbf_name`: five characters of it from
  // the third (fewer when it is shorter) and ".ini". "AB12345.dbf" gives "12345.ini".
  static std::string ScoreFileName(const std::string& dbf_name);

 protected:
  // The test name and the passing score from the start window.
  void FormShow() override;
  // Writes the score file when WriteScores is "1".
  void FormActivate() override;
  void closeEvent(QCloseEvent* event) override;

  // The lines of the score report, in order.
  virtual QStringList ReportLines();
  // The keys of the score file: the score and the grade in section "Scores", and the
  // percentage in each objective's section.
  virtual std::string ScoreKey() const { return "VelkorinScore"; }
  virtual std::string PassFailKey() const { return "VelkorinPassFail"; }
  virtual std::string ObjectiveScoreKey() const { return "VelkorScore"; }

  // Writes the score, the grade and every tested objective's percentage. The first key that
  // does not reach the file ends the writing; the box that names the file comes once for it.
  void WriteScoreFile();

 private:
  // One key through VexaEdit1; true when the file holds the value afterwards.
  bool WriteScoreKey(const std::string& section, const std::string& item, const std::string& value);

  // The score file whose failure was reported already.
  std::string failure_shown_;
};

}  // namespace app
