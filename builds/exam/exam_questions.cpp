#include "builds/exam/exam_questions.h"

#include <QFont>
#include <QPalette>
#include <initializer_list>

#include "app/app_context.h"
#include "app/item_review_window.h"
#include "app/test_controller.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace exam {
namespace {

constexpr int kClientWidth = 629;
constexpr int kClientHeight = 431;
constexpr uint32_t kBand = 8421440;  // $BBGGRR: the question's band and background
constexpr int kAnswerTops[] = {140, 187, 235, 282, 329};
constexpr int kBoxTops[] = {139, 186, 234, 281, 328};

constexpr char kExpired[] =
    "The time allocated for this test has expired. Your test will now be graded.";

void Fill(QWidget* widget, const QColor& color) {
  widget->setAutoFillBackground(true);
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, color);
  widget->setPalette(palette);
}

void Embolden(QWidget* widget) {
  QFont bold = widget->font();
  bold.setBold(true);
  widget->setFont(bold);
}

}  // namespace

TQuestions::TQuestions() {
  using platform::gui::ColorFromBgr;
  // No menu bar: the client area is the whole window. The menu stays, hidden, with its
  // commands switched off so that none of their shortcuts reach the sheet.
  MainMenu1->hide();
  for (QAction* command : {Exit1, Copy1, CopyQuestiontoClipboard1, OpenNotes1, StartOver1})
    command->setEnabled(false);
  setFixedSize(kClientWidth, kClientHeight);
  ClientArea->setGeometry(0, 0, kClientWidth, kClientHeight);

  // The study's controls the sheet has no use for stay, hidden.
  for (QWidget* hidden : std::initializer_list<QWidget*>{StatusBar1, ReferenceBox, ShowAnswersBtn,
                                                         ShowRefsBtn, RichEdit7, Panel3}) {
    hidden->hide();
  }
  // There are no help or page fields on the sheet.
  for (components::TWenEdit* field :
       {top1help, top2help, top3help, top1acropg, top2acropg, top3acropg}) {
    field->SetDataSource(nullptr);
  }

  Label1 = new QLabel(ClientArea);
  Label1->setObjectName("Label1");
  Label1->setGeometry(435, 5, 185, 13);
  Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Embolden(Label1);

  // The item's white panel with the band behind the question.
  Panel1->setGeometry(10, 22, 614, 356);
  Fill(Panel1, Qt::white);
  Shape1->setParent(Panel1);
  Shape1->setGeometry(-1, -1, 616, 103);
  Fill(Shape1, ColorFromBgr(kBand));
  Shape1->show();
  Panel1->lower();

  RichEdit6->setGeometry(19, 32, 584, 80);
  {
    QPalette palette = RichEdit6->palette();
    palette.setColor(QPalette::Base, ColorFromBgr(kBand));
    palette.setColor(QPalette::Text, Qt::white);
    RichEdit6->setPalette(palette);
  }
  app::TRichEdit* const edits[] = {RichEdit1, RichEdit2, RichEdit3, RichEdit4, RichEdit5};
  components::TrsSuperCheck* const boxes[] = {rsSuperCheck1, rsSuperCheck2, rsSuperCheck3,
                                              rsSuperCheck4, rsSuperCheck5};
  for (int i = 0; i < 5; ++i) {
    edits[i]->setGeometry(55, kAnswerTops[i], 537, i == 2 ? 41 : 40);
    edits[i]->setReadOnly(true);
    boxes[i]->move(21, kBoxTops[i]);
  }
  // The five rows stand as designed: only box E follows its answer.
  RichEdit5->show();

  MarkCheckBox->setText("&Mark");
  MarkCheckBox->setToolTip(QString());
  MarkCheckBox->setGeometry(14, 3, 97, 17);

  WenText1 = new components::TWenText(ClientArea);
  WenText1->setObjectName("WenText1");
  WenText1->setGeometry(11, 383, 359, 17);
  WenText1->SetDataSource(WenDbf1.get());
  WenText1->SetDataField("selectnote");

  newPrevBtn->setGeometry(5, 401, 90, 25);
  NewNextBtn->setGeometry(105, 401, 90, 25);
  // Shown only for a record with an exhibit.
  ExhibitBtn->setGeometry(203, 401, 90, 25);
  ExhibitBtn->setEnabled(true);
  ExhibitBtn->hide();
  ItemReviewBtn->setGeometry(300, 401, 90, 25);
  NextMarkedBtn->setGeometry(105, 401, 90, 25);
  NextIncompleteBtn->setGeometry(105, 401, 90, 25);
  PrevMarkedBtn->setGeometry(5, 401, 90, 25);
  PrevIncompleteBtn->setGeometry(5, 401, 90, 25);
  HelpBtn = new QPushButton("Exit", ClientArea);
  HelpBtn->setObjectName("HelpBtn");
  HelpBtn->setGeometry(534, 401, 90, 25);
  platform::gui::GuardedConnect(HelpBtn, &QPushButton::clicked, this, &TQuestions::HelpBtnClick);
}

// ---- Showing an item

void TQuestions::WenDbf1DataChange(components::TWenDataSource*, components::TWenField*) {
  // Before the first show only the item's state follows the moves, as in the study.
  if (ShownOnce()) ShowSheetRecord();
  ShowItemState();
}

void TQuestions::ShowItem() {
  ShowSheetRecord();
  ShowItemStateFirst();
}

void TQuestions::ShowSheetRecord() {
  ShowTexts();
  RichEdit6->resize(577, RichEdit6->height());
  FitAnswerWidths();
  ExhibitBtn->setVisible(!ExhibitFile->text().isEmpty());
}

// ---- The countdown and Exit

void TQuestions::Timer1Timer() {
  if (!TickCounts()) return;
  app::TAppContext& ctx = app::Ctx();
  QLabel* const review_label = ctx.ItemReview != nullptr ? ctx.ItemReview->TimeLabel : nullptr;
  const auto show = [&](const QString& text) {
    Label1->setText(text);
    if (review_label != nullptr) review_label->setText(text);
  };
  const int m = ctx.Values.MinutesLeft;
  show(QString("Time remaining: %1 minutes").arg(m - 1));
  ctx.Values.MinutesLeft = m - 1;
  if (Label1->text() == QLatin1String("Time remaining: 1 minutes"))
    show(QStringLiteral("Time remaining: 1 minute"));
  // The expiry comes only as the count passes through 0: a tick while the message stands
  // shows -1 and finds no match, and a limit of 0 counts on below zero.
  if (Label1->text() == QLatin1String("Time remaining: 0 minutes")) {
    platform::gui::Services::Current().ShowMessage(QString::fromLatin1(kExpired), this);
    if (ctx.ControlForm != nullptr) ctx.ControlForm->GradeTest();
    Timer1->stop();
  }
}

void TQuestions::HelpBtnClick() { platform::gui::Services::Current().Quit(); }

}  // namespace exam
