#include "builds/exam/exam_start_window.h"

#include <QFont>

#include "app/app_context.h"
#include "app/disclaimer_base.h"
#include "builds/exam/exam_context.h"
#include "builds/exam/exam_questions.h"
#include "platform/gui/text.h"

namespace exam {

using platform::gui::QStringToAnsi;

TStartUp::TStartUp() {
  // The study's header pictures and disclaimer are not part of this window; the group box
  // only carries the logos, without a frame.
  Panel1->hide();
  Image1->hide();
  GroupBox2->hide();
  GroupBox1->setTitle(QString());
  GroupBox1->setStyleSheet("QGroupBox { border: none; margin: 0px; padding: 0px; }");
  GroupBox1->setGeometry(8, 296, 305, 89);
  app::PlaceLogoRow(Logo1, Logo2, Logo3, 8, 4);

  Label2 = new QLabel("Welcome!", this);
  Label2->setObjectName("Label2");
  Label2->setGeometry(16, 12, 597, 28);
  QFont welcome = Label2->font();
  welcome.setPixelSize(21);
  welcome.setBold(true);
  Label2->setFont(welcome);

  VexaLabel1->setGeometry(16, 48, 597, 20);
  QFont name = VexaLabel1->font();
  name.setPixelSize(15);
  name.setBold(true);
  VexaLabel1->setFont(name);
  VexaLabel1->show();

  Memo2 = app::MakeGreyMemo(this, "Memo2", QRect(16, 80, 597, 200));
  Memo2->setFrameShape(QFrame::NoFrame);

  // Neither button takes Enter.
  for (QPushButton* button : {NextBtn, ExitBtn}) {
    button->setDefault(false);
    button->setAutoDefault(false);
  }

  // Write Scores, Show Chapter and Show Links: the exam's numbering of the option keys.
  VexaEdit4->SetINISection(app::kMenuOptions);
  VexaEdit4->SetINIItem("Write Scores");
  VexaEdit5->SetINISection(app::kMenuOptions);
  VexaEdit5->SetINIItem("Show Chapter");
  VexaEdit6->SetINISection(app::kMenuOptions);
  VexaEdit6->SetINIItem("Show Links");
}

QString TStartUp::SummaryText(const QString& questions, const QString& minutes,
                              const QString& passing) {
  return "This exam will present " + questions + " questions.  The time limit " +
         "for this exam is " + minutes + " minutes.  " +
         "You will be allowed to review previous questions and to mark those you wish to "
         "review " +
         "later.  When you end the test, the test will be scored and you will no longer be "
         "able" +
         " to see questions or change your answers.  A score of " + passing +
         " or higher is required to pass this test. The test will also end if the specified "
         "time limit expires.";
}

bool TStartUp::ReadTestDefinition() {
  if (!app::TStartUp::ReadTestDefinition()) return false;
  Memo2->setPlainText(SummaryText(VexaEdit1->text(), VexaEdit2->text(), VexaEdit3->text()));
  return true;
}

void TStartUp::ReadTestName() { VexaLabel1->ReadINI(); }

void TStartUp::RereadKeys() {
  for (components::TVexaEdit* edit :
       {VexaEdit1, VexaEdit2, VexaEdit3, VexaEdit4, VexaEdit5, VexaEdit6}) {
    edit->ReadINI();
  }
}

std::vector<components::TVexaEdit*> TStartUp::RequiredNumberEdits() {
  return {VexaEdit1, VexaEdit2, VexaEdit3};
}

void TStartUp::StoreOptions() {
  app::TStartUpValues& v = app::Ctx().Values;
  v.WriteScores = QStringToAnsi(VexaEdit4->text());
  v.ShowChapter = QStringToAnsi(VexaEdit5->text());
  v.ShowLinks = QStringToAnsi(VexaEdit6->text());
  v.BookFormatValue.clear();  // no Format key: the exam has no book
}

void TStartUp::BeforeTimeLabel() {
  TExamContext& ctx = ExamCtx();
  if (ctx.ExamQuestions() == nullptr) return;
  ctx.ExamQuestions()->Label1->setText(
      QString("Time Remaining: %1 minutes").arg(ctx.Values.MinutesLeft));
}

void TStartUp::NextBtnClick() { app::Ctx().Disclaimer->show(); }

}  // namespace exam
