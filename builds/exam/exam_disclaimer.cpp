#include "builds/exam/exam_disclaimer.h"

#include <QFont>

#include "app/app_context.h"
#include "app/question_window.h"
#include "app/start_window.h"
#include "app/test_controller.h"
#include "app/window_support.h"
#include "builds/exam/exam_context.h"
#include "builds/exam/exam_start_window.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"

namespace exam {

using app::StrToInt;

const char kNoQuestionsMessage[] =
    "No questions are available for this exam. This application will now terminate.";

void EndForNoQuestions() {
  platform::gui::Services& services = platform::gui::Services::Current();
  services.ShowMessage(QString::fromLatin1(kNoQuestionsMessage));
  app::Ctx().Test.NoQuestionsAvailable = true;
  services.Quit();
}

TDisclaimer::TDisclaimer() {
  setObjectName("Disclaimer");
  setWindowTitle(app::Ctx().Title());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(629, 431);

  Label2 = new QLabel(this);
  Label2->setObjectName("Label2");
  Label2->setGeometry(16, 12, 597, 24);
  QFont name = Label2->font();
  name.setPixelSize(15);
  name.setBold(true);
  Label2->setFont(name);

  RichEdit1 = app::MakeGreyMemo(this, "RichEdit1", QRect(16, 48, 597, 150));
  RichEdit1->setPlainText(app::kDisclaimer);

  app::MakeLogoRow(this, 16, 300, Logo1, Logo2, Logo3);

  ExitBtn = new QPushButton("E&xit", this);
  ExitBtn->setObjectName("ExitBtn");
  ExitBtn->setGeometry(321, 394, 89, 29);
  Button1 = new QPushButton("&Previous", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(426, 394, 89, 29);
  NextBtn = new QPushButton("&Start", this);
  NextBtn->setObjectName("NextBtn");
  NextBtn->setGeometry(532, 394, 89, 29);
  // No button takes Enter.
  for (QPushButton* button : {ExitBtn, Button1, NextBtn}) {
    button->setDefault(false);
    button->setAutoDefault(false);
  }

  using platform::gui::GuardedConnect;
  GuardedConnect(NextBtn, &QPushButton::clicked, this, &TDisclaimer::NextBtnClick);
  GuardedConnect(ExitBtn, &QPushButton::clicked, this, &TDisclaimer::ExitBtnClick);
  GuardedConnect(Button1, &QPushButton::clicked, this, &TDisclaimer::Button1Click);
}

void TDisclaimer::FormCreate() { app::CentreOnScreen(this); }

void TDisclaimer::FormShow() {
  app::LoadLogos(app::Ctx().StartUp->FileListBox1->Directory, Logo1, Logo2, Logo3);
}

void TDisclaimer::FormActivate() {
  Label2->setText(ExamCtx().ExamStartUp()->VexaLabel1->Caption());
}

void TDisclaimer::NextBtnClick() {
  app::TAppContext& ctx = app::Ctx();
  app::TControlForm& control = *ctx.ControlForm;
  app::THourglass::Set();
  try {
    control.VexaSource1.SetFileName(ctx.StartUp->VexaSource1.FileName());
    control.OnTest->ReadINI();
    control.ResetAnswerLists();
    if (StrToInt(control.TotalQuestions->text()) < StrToInt(control.OnTest->text())) {
      control.OnTest->setText(control.TotalQuestions->text());
    }
    components::TWenDbf& table = *ctx.Questions->WenDbf1;
    control.TotalQuestions->setText(QString::number(table.RecCount()));
    // A length below 1 (the definition asks for none, or the table is empty) has no test and
    // no points per question.
    if (StrToInt(control.OnTest->text()) < 1) {
      app::THourglass::Restore();
      EndForNoQuestions();
      return;
    }
    control.SetPointsPerQuestion(StrToInt(control.OnTest->text()));
    if (!control.BuildTest()) {
      // A draw without a question has ended the program already; nothing more to do here.
      app::THourglass::Restore();
      return;
    }
  } catch (...) {
    app::THourglass::Restore();
    throw;
  }

  control.AllObjectives->ReadINI();
  ctx.Test.CurrentItem = 1;
  ctx.Questions->WenDbf1->Go(StrToInt(control.RecordNo[1]));
  hide();
  ctx.StartUp->hide();
  app::TQuestions* questions = ctx.Questions;
  ctx.Release(this);
  questions->show();
}

void TDisclaimer::ExitBtnClick() { platform::gui::Services::Current().Quit(); }

void TDisclaimer::Button1Click() {
  app::Ctx().StartUp->show();
  hide();
}

}  // namespace exam
