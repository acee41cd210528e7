#include "app/results_window.h"

#include <QPalette>
#include <QStyledItemDelegate>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "app/date_time_text.h"
#include "app/missed_items_window.h"
#include "app/question_window.h"
#include "app/start_window.h"
#include "app/test_controller.h"
#include "app/window_support.h"
#include "engine/utils.h"
#include "platform/core/profile.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace app {
namespace {

using platform::gui::AnsiToQString;
using platform::gui::QStringToAnsi;

const char kTitle[] = "Examination Score Report";

// Every line of a list the same height.
class FixedHeightDelegate : public QStyledItemDelegate {
 public:
  FixedHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
  }

 private:
  int height_;
};

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, const QRect& place) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(place);
  return label;
}

QLineEdit* MakeReadOnlyEdit(QWidget* parent, const char* name, const QRect& place) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setReadOnly(true);
  edit->setGeometry(place);
  return edit;
}

components::TOvcMeter* MakeMeter(QWidget* parent, const char* name, int top, uint32_t used,
                                 uint32_t shadow) {
  auto* meter = new components::TOvcMeter(parent);
  meter->setObjectName(name);
  meter->setGeometry(112, top, 497, 24);
  meter->SetUsedColor(used);
  meter->SetShadowColor(shadow);
  return meter;
}

QFont Bold(QFont font) {
  font.setBold(true);
  return font;
}

}  // namespace

TResults::TResults() : FormActivation(this) {
  setObjectName("Results");
  setWindowTitle(kTitle);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(629, 431);

  Label1 = MakeLabel(this, "Label1", "", {8, 8, 613, 34});
  Label1->setFont(Bold(font()));
  Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label1->setWordWrap(true);

  Label2 = MakeLabel(this, "Label2", "Required Score", {8, 52, 100, 16});
  Label3 = MakeLabel(this, "Label3", "Your Score", {8, 92, 100, 16});
  // $BBGGRR: navy edged in a dark navy; teal edged in a dark purple.
  RequiredScoreGauge = MakeMeter(this, "RequiredScoreGauge", 48, 0x800000, 0x400000);
  UserScoreGauge = MakeMeter(this, "UserScoreGauge", 88, 0x808040, 0x400040);
  Label7 = MakeLabel(this, "Label7", "0", {112, 114, 40, 14});
  Label9 = MakeLabel(this, "Label9", "500", {340, 114, 40, 14});
  Label9->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Label8 = MakeLabel(this, "Label8", "1000", {569, 114, 40, 14});
  Label8->setAlignment(Qt::AlignRight | Qt::AlignTop);

  Label4 = MakeLabel(this, "Label4", "Passing Score", {8, 144, 82, 16});
  PassingScore = MakeReadOnlyEdit(this, "PassingScore", {92, 140, 70, 21});
  Label5 = MakeLabel(this, "Label5", "Your Score", {226, 144, 66, 16});
  UserScore = MakeReadOnlyEdit(this, "UserScore", {294, 140, 70, 21});
  UserScore->setText("0");
  Label6 = MakeLabel(this, "Label6", "Grade", {490, 144, 44, 16});
  Grade = MakeReadOnlyEdit(this, "Grade", {539, 140, 70, 21});

  Label10 = MakeLabel(this, "Label10", "Objective Analysis", {10, 182, 200, 16});
  ObjectiveAnalysisList = new QListWidget(this);
  ObjectiveAnalysisList->setObjectName("ObjectiveAnalysisList");
  ObjectiveAnalysisList->setGeometry(10, 200, 611, 153);
  ObjectiveAnalysisList->setFont(Bold(platform::gui::MonoFont(8)));
  ObjectiveAnalysisList->setItemDelegate(new FixedHeightDelegate(14, ObjectiveAnalysisList));
  ObjectiveAnalysisList->setUniformItemSizes(true);
  ObjectiveAnalysisList->setFrameShape(QFrame::NoFrame);
  ObjectiveAnalysisList->setFocusPolicy(Qt::NoFocus);
  QPalette silver = ObjectiveAnalysisList->palette();
  silver.setColor(QPalette::Base, platform::gui::ColorFromBgr(0xC0C0C0));
  ObjectiveAnalysisList->setPalette(silver);

  Label11 = MakeLabel(this, "Label11",
                      "Performance on this self-administered assessment does not guarantee or "
                      "directly correlate to success on an actual certification exam.",
                      {10, 357, 611, 32});
  Label11->setFont(Bold(font()));
  Label11->setWordWrap(true);

  Button1 = new QPushButton("&Print", this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(10, 394, 89, 29);
  ShowMeWhatIMissedBtn = new QPushButton("Show Me What I Missed", this);
  ShowMeWhatIMissedBtn->setObjectName("ShowMeWhatIMissedBtn");
  ShowMeWhatIMissedBtn->setGeometry(220, 394, 190, 29);
  Button2 = new QPushButton("E&xit", this);
  Button2->setObjectName("Button2");
  Button2->setGeometry(532, 394, 89, 29);
  platform::gui::GuardedConnect(Button1, &QPushButton::clicked, this, &TResults::Button1Click);
  platform::gui::GuardedConnect(Button2, &QPushButton::clicked, this, &TResults::Button2Click);
  platform::gui::GuardedConnect(ShowMeWhatIMissedBtn, &QPushButton::clicked, this,
                                &TResults::ShowMeWhatIMissedBtnClick);

  RichEdit1 = new QTextEdit(this);
  RichEdit1->setObjectName("RichEdit1");
  RichEdit1->setAcceptRichText(false);
  RichEdit1->setFont(platform::gui::MonoFont(8));
  RichEdit1->hide();

  VexaSource1.SetUseAppDir(false);
  VexaEdit1 = new components::TVexaEdit(this);
  VexaEdit1->setObjectName("VexaEdit1");
  VexaEdit1->SetINISource(&VexaSource1);
  VexaEdit1->hide();
}

void TResults::FormCreate() { CentreOnScreen(this); }

void TResults::FormShow() {
  TStartUp* start = Ctx().StartUp;
  Label1->setText(start->VexaLabel1->Caption());
  PassingScore->setText(start->VexaEdit3->text());
}

void TResults::FormActivate() {
  if (Ctx().Values.WriteScores == "1") WriteScoreFile();
}

std::string TResults::ScoreFileName(const std::string& dbf_name) {
  return (dbf_name.size() > 2 ? dbf_name.substr(2, 5) : std::string()) + ".ini";
}

bool TResults::WriteScoreKey(const std::string& section, const std::string& item,
                             const std::string& value) {
  VexaEdit1->SetSection(section);
  VexaEdit1->SetItem(item);
  VexaEdit1->setText(AnsiToQString(value));
  VexaEdit1->WriteINI();
  // The control reports no failed write: the key read back tells whether it reached the file.
  const std::string written = QStringToAnsi(VexaEdit1->text());
  const std::string missing = written + "\x01";
  return VexaSource1.ReadString(VexaEdit1->GetSection(), VexaEdit1->GetItem(), missing) == written;
}

void TResults::WriteScoreFile() {
  VexaSource1.SetFileName(ScoreFileName(Ctx().Values.DbfName));
  const TControlForm* control = Ctx().ControlForm;
  bool ok = WriteScoreKey("Scores", ScoreKey(), QStringToAnsi(UserScore->text())) &&
            WriteScoreKey("Scores", PassFailKey(), QStringToAnsi(Grade->text()));
  for (int k = 1; ok && control != nullptr && k <= TControlForm::kObjectives; ++k) {
    if (control->ObjectiveTotal[k - 1] <= 0) continue;
    ok = WriteScoreKey(control->ObjectiveName(k), ObjectiveScoreKey(),
                       std::to_string(control->ObjectivePercent(k)));
  }
  const std::string path = platform::ProfilePath(VexaSource1.FileName());
  if (ok) {
    if (failure_shown_ == path) failure_shown_.clear();
    return;
  }
  // A reactivation after the box tries again, but shows no second box for the same file.
  if (failure_shown_ == path) return;
  failure_shown_ = path;
  platform::gui::Services::Current().ShowMessage(
      "The score could not be saved to " + QString::fromLocal8Bit(path) + ".", this);
}

QStringList TResults::ReportLines() {
  QStringList lines;
  lines << QString() << "Examination Score Report for " + Label1->text()
        << AnsiToQString(DateTimeText()) << "Your Score: " + UserScore->text()
        << "Passing Score: " + PassingScore->text() << "Grade: " + Grade->text() << QString()
        << "Objective Analysis:";
  for (int i = 0; i < ObjectiveAnalysisList->count(); ++i)
    lines << ObjectiveAnalysisList->item(i)->text();
  return lines;
}

void TResults::Button1Click() {
  // Each press prints the report once: the buffer starts empty.
  RichEdit1->clear();
  RichEdit1->setPlainText(ReportLines().join('\n'));
  const platform::gui::ServiceResult result = platform::gui::Services::Current().Print(
      platform::gui::PrintJob{kTitle, RichEdit1->toPlainText(), RichEdit1->font()});
  if (!result.ok) throw std::runtime_error(QStringToAnsi(result.error));
}

namespace {

// The lines of a text as the report adds it: one line per line break (CR LF, CR or LF), one
// empty line for an empty text.
void AddText(QStringList& lines, const std::string& ansi) {
  const QString text = AnsiToQString(ansi);
  QString line;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c != '\r' && c != '\n') {
      line += c;
      continue;
    }
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    lines << line;
    line.clear();
  }
  lines << line;
}

}  // namespace

void TResults::ShowMeWhatIMissedBtnClick() {
  TAppContext& ctx = Ctx();
  TMissedItemsWnd* missed = ctx.MissedItemsWnd;
  if (missed == nullptr || ctx.ControlForm == nullptr || ctx.Questions == nullptr) return;
  const TControlForm& control = *ctx.ControlForm;
  TQuestions& q = *ctx.Questions;
  const bool show_chapter = ctx.Values.ShowChapter == "1";
  const bool show_links = ctx.Values.ShowLinks == "1";

  missed->Memo1->clear();
  QStringList lines;
  AddText(lines, "Missed Questions Report");
  AddText(lines, "");
  for (int32_t i = 1; i < control.correctAnswers.Count(); ++i) {
    // A question never reached has no stored answer: it counts as answered with nothing, and
    // wrong, as grading counts it.
    const bool reached = i < control.userAnswers.Count();
    const std::string answered = reached ? control.userAnswers[i] : std::string(5, ' ');
    const std::string& correct = control.correctAnswers[i];
    if (reached && engine::AllTrim(answered) == engine::AllTrim(correct)) continue;

    q.WenDbf1->Go(StrToInt(control.RecordNo[i]));
    AddText(lines, q.QuestionMemo->Text());
    const components::TWenMemo* const answers[] = {q.WenMemo1, q.WenMemo2, q.WenMemo3, q.WenMemo4,
                                                   q.WenMemo5};
    for (int a = 0; a < 5; ++a) {
      const std::string text = answers[a]->Text();
      if (a > 0 && text.empty()) continue;
      AddText(lines, std::string(1, static_cast<char>('A' + a)) + ". " + text);
    }
    AddText(lines, "You answered: " + answered);
    AddText(lines, "The correct answer is: " + correct);
    AddText(lines, "");
    AddText(lines, q.WenMemo6->Text());
    const std::string chapter = QStringToAnsi(q.ChapterRef->text());
    if (show_chapter && !chapter.empty()) AddText(lines, chapter);
    if (show_links) {
      std::vector<std::string> topics;
      for (const components::TWenEdit* topic : {q.Topic1, q.Topic2, q.Topic3}) {
        std::string text = QStringToAnsi(topic->text());
        if (!text.empty()) topics.push_back(std::move(text));
      }
      if (!topics.empty()) AddText(lines, "Associated Topics:");
      for (const std::string& topic : topics) AddText(lines, topic);
    }
    AddText(lines, "");
    AddText(lines, "");
  }
  missed->Memo1->setPlainText(lines.join('\n'));
  missed->show();
  missed->raise();
}

void TResults::Button2Click() { platform::gui::Services::Current().Quit(); }

void TResults::FormClose() { platform::gui::Services::Current().Quit(); }

void TResults::closeEvent(QCloseEvent* event) {
  HandleCloseEvent(event, [this] { FormClose(); });
}

}  // namespace app
