#include "app/objective_window.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/artwork.h"
#include "app/question_window.h"
#include "app/start_window.h"
#include "app/test_controller.h"
#include "app/test_discovery.h"
#include "engine/numerics.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace app {
namespace {

using platform::gui::AnsiToQString;
using platform::gui::QStringToAnsi;

const char* const kInstructions[] = {
    "Select the objectives you wish to ", "cover by checking or unchecking ",
    "items in the list at left. ",        "",
    "Optionally, you can override the ",  "default time limit and number of ",
    "questions by entering new values ",  "in the fields above. To start the ",
    "test press the button below."};

components::TVexaEdit* HiddenEdit(QWidget* parent, const char* name, const char* key) {
  auto* edit = new components::TVexaEdit(parent);
  edit->setObjectName(name);
  edit->setText(name);
  edit->SetINISection(kTestInfo);
  edit->SetINIItem(key);
  edit->hide();
  return edit;
}

void ShowBox(const char* text, QWidget* owner) {
  platform::gui::Services::Current().ShowMessage(AnsiToQString(text), owner);
}

}  // namespace

void TClickEdit::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
      OnClick) {
    platform::gui::RunGuarded(OnClick);
  }
}

TDisclaimer::TDisclaimer() {
  setObjectName("Disclaimer");
  setWindowTitle(Ctx().Title());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
  setFixedSize(629, 431);

  // The header pictures of the start window.
  const TLogoPanel logo = MakeLogoPanel(this);
  Panel1 = logo.Panel1;
  Shape1 = logo.Shape1;
  Image2 = logo.Image2;
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setGeometry(321, 8, 300, 98);
  Image1->setPixmap(StartBanner(Image1->size()));
  Logo1 = new QLabel(this);
  Logo2 = new QLabel(this);
  Logo3 = new QLabel(this);
  for (QLabel* logo : {Logo1, Logo2, Logo3}) logo->hide();

  GroupBox1 = new QGroupBox("Select objectives to be covered by this practice exam: ", this);
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setGeometry(8, 112, 357, 290);
  rsListBox1 = new components::TrsListBox(GroupBox1);
  rsListBox1->setObjectName("rsListBox1");
  rsListBox1->setGeometry(10, 20, 337, 226);
  rsListBox1->SetListStyle(components::TrsListBox::TListStyle::lsCheckbox);
  rsListBox1->SetAutoCheck(true);
  rsListBox1->SetSeparators(components::TrsListBox::TSepStyle::spNone);
  rsListBox1->SetItemHeight(16);
  rsListBox1->SetHorzScrollBar(false);
  rsListBox1->Loaded();
  rsListBox1->OnClick = [this](components::TrsListBox*) { rsListBox1Click(); };
  SelectAllBtn = new QPushButton("Select &All", GroupBox1);
  SelectAllBtn->setObjectName("SelectAllBtn");
  SelectAllBtn->setGeometry(10, 254, 100, 26);
  SelectNoneBtn = new QPushButton("Select &None", GroupBox1);
  SelectNoneBtn->setObjectName("SelectNoneBtn");
  SelectNoneBtn->setGeometry(116, 254, 100, 26);

  GroupBox2 = new QGroupBox("Options", this);
  GroupBox2->setObjectName("GroupBox2");
  GroupBox2->setGeometry(373, 112, 248, 78);
  Label1 = new QLabel("Number of Questions:", GroupBox2);
  Label1->setGeometry(10, 24, 140, 16);
  Label3 = new QLabel("Time Limit (minutes):", GroupBox2);
  Label3->setGeometry(10, 50, 140, 16);
  NumberOfQuestions = new TClickEdit("100", GroupBox2);
  NumberOfQuestions->setObjectName("NumberOfQuestions");
  NumberOfQuestions->setGeometry(160, 21, 76, 21);
  TotalTime = new TClickEdit("120", GroupBox2);
  TotalTime->setObjectName("TotalTime");
  TotalTime->setGeometry(160, 47, 76, 21);
  NumberOfQuestions->OnClick = [this] { NumberOfQuestionsClick(); };
  TotalTime->OnClick = [this] { TotalTimeClick(); };

  GroupBox3 = new QGroupBox("Instructions", this);
  GroupBox3->setObjectName("GroupBox3");
  GroupBox3->setGeometry(373, 196, 248, 168);
  RichEdit1 = new QTextEdit(GroupBox3);
  RichEdit1->setObjectName("RichEdit1");
  RichEdit1->setGeometry(8, 18, 232, 142);
  RichEdit1->setReadOnly(true);
  RichEdit1->setAcceptRichText(false);
  RichEdit1->setLineWrapMode(QTextEdit::NoWrap);
  QStringList instructions;
  for (const char* line : kInstructions) instructions << line;
  RichEdit1->setPlainText(instructions.join('\n'));
  QPalette grey = RichEdit1->palette();
  grey.setColor(QPalette::Base, QColor(0xc0, 0xc0, 0xc0));
  RichEdit1->setPalette(grey);

  NextBtn = new QPushButton("&Start Test", this);
  NextBtn->setObjectName("NextBtn");
  NextBtn->setGeometry(511, 372, 110, 30);
  NextBtn->setDefault(true);

  StatusBar1 = new TStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setGeometry(0, 412, 629, 19);

  VexaListBox1 = new components::TVexaListBox(this);
  VexaListBox1->setObjectName("VexaListBox1");
  VexaListBox1->SetINISection("Objectives");
  VexaListBox1->SetINIItem("Objective");
  VexaListBox1->SetINISaveItems(true);
  VexaListBox1->hide();
  VexaEdit1 = HiddenEdit(this, "VexaEdit1", "Number of Questions");
  VexaEdit2 = HiddenEdit(this, "VexaEdit2", "Time Limit");
  Label2 = new QLabel(this);
  Label2->setObjectName("Label2");
  Label2->hide();

  using platform::gui::GuardedConnect;
  GuardedConnect(SelectAllBtn, &QPushButton::clicked, this, &TDisclaimer::SelectAllBtnClick);
  GuardedConnect(SelectNoneBtn, &QPushButton::clicked, this, &TDisclaimer::SelectNoneBtnClick);
  GuardedConnect(NextBtn, &QPushButton::clicked, this, &TDisclaimer::NextBtnClick);
}

void TDisclaimer::FormCreate() {
  CentreOnScreen(this);
  components::TVexaSource* source = &Ctx().StartUp->VexaSource1;
  VexaListBox1->SetINISource(source);
  VexaEdit1->SetINISource(source);
  VexaEdit2->SetINISource(source);
}

void TDisclaimer::FormActivate() {
  TAppContext& ctx = Ctx();
  Label2->setText(ctx.StartUp->GroupBox1->title());
  VexaListBox1->ReadINI();
  std::vector<std::string> lines;
  for (const QString& line : VexaListBox1->Items()) lines.push_back(QStringToAnsi(line));
  rsListBox1->SetItems(lines);
  rsListBox1->CheckAll();
  ReadOptions();
  if (!ctx.Arguments.isEmpty()) {
    rsListBox1->UncheckAll();
    // An argument that names no line (no whole number, 0 or below) is passed over: a box
    // here would come back with every activation.
    for (const QString& argument : ctx.Arguments) {
      const std::optional<int> number = WholeNumber(QStringToAnsi(argument));
      if (number && *number >= 1) rsListBox1->SetChecked(*number - 1, true);
    }
  }
}

void TDisclaimer::ReadOptions() {
  VexaEdit1->ReadINI();
  VexaEdit2->ReadINI();
  NumberOfQuestions->setText(VexaEdit1->text());
  TotalTime->setText(VexaEdit2->text());
}

void TDisclaimer::SelectAllBtnClick() { rsListBox1->CheckAll(); }

void TDisclaimer::SelectNoneBtnClick() { rsListBox1->UncheckAll(); }

void TDisclaimer::rsListBox1Click() { rsListBox1->SetItemIndex(-1); }

void TDisclaimer::NumberOfQuestionsClick() { NumberOfQuestions->selectAll(); }

void TDisclaimer::TotalTimeClick() { TotalTime->selectAll(); }

void TDisclaimer::NextBtnClick() {
  TAppContext& ctx = Ctx();
  // Lines 1 to 29, then line 0: only the first 30 objectives take part.
  bool any = false;
  for (int line = 1; line <= 29 && !any; ++line) any = rsListBox1->Checked(line);
  if (!any && !rsListBox1->Checked(0)) {
    ShowBox("You must select at least one objective to test on.", this);
    return;
  }
  // The entries are converted before anything changes.
  const int32_t minutes = StrToInt(TotalTime->text());
  if (StrToInt(NumberOfQuestions->text()) < 1) {
    ShowBox("The number of questions must be at least 1.", this);
    return;
  }

  THourglass::Set();
  TControlForm& control = *ctx.ControlForm;
  try {
    ctx.Values.MinutesLeft = minutes;
    control.VexaSource1.SetFileName(ctx.StartUp->VexaSource1.FileName());
    control.OnTest->ReadINI();
    control.ResetAnswerLists();
    if (StrToInt(control.OnTest->text()) > StrToInt(control.TotalQuestions->text())) {
      control.OnTest->setText(control.TotalQuestions->text());
    }
    components::TWenDbf& table = *ctx.Questions->WenDbf1;
    control.TotalQuestions->setText(QString::number(table.RecCount()));
    // The points follow the test definition's count; a count of 0 has none.
    control.SetPointsPerQuestion(StrToInt(control.OnTest->text()));
    if (!control.BuildTest()) return;
  } catch (...) {
    THourglass::Restore();
    throw;
  }

  control.AllObjectives->ReadINI();
  ctx.Test.CurrentItem = 1;
  ctx.Questions->WenDbf1->Go(StrToInt(control.RecordNo[1]));
  hide();
}

void TDisclaimer::FormClose() { Ctx().StartUp->show(); }

void TDisclaimer::closeEvent(QCloseEvent* event) {
  HandleCloseEvent(event, [this] { FormClose(); });
}

}  // namespace app
