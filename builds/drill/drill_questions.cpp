#include "builds/drill/drill_questions.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QTextCursor>
#include <initializer_list>

#include "app/app_context.h"
#include "app/test_controller.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"

namespace drill {
namespace {

constexpr int kClientWidth = 629;
constexpr int kClientHeight = 412;

bool IsPasteKey(QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  return key->matches(QKeySequence::Paste) ||
         (key->key() == Qt::Key_V && key->modifiers() == Qt::ControlModifier);
}

// The standard background of an edit: the pad's colour when it shows no answers.
QColor StandardBackground(const QWidget* edit) {
  return QApplication::palette(edit).color(QPalette::Active, QPalette::Base);
}

}  // namespace

TQuestions::TQuestions() {
  // The client area is one pixel wider than the study's.
  const int menu_height = MainMenu1->height();
  setFixedSize(kClientWidth, kClientHeight + menu_height);
  MainMenu1->setGeometry(0, 0, kClientWidth, menu_height);
  ClientArea->setGeometry(0, menu_height, kClientWidth, kClientHeight);
  StatusBar1->setGeometry(0, kClientHeight - 19, kClientWidth, 19);

  // Edit: Copy and Paste; there is no copy of the whole question.
  delete CopyQuestiontoClipboard1;
  CopyQuestiontoClipboard1 = nullptr;
  Paste1 = Edit1->addAction("Paste");
  Paste1->setObjectName("Paste1");
  Paste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  platform::gui::GuardedConnect(Paste1, &QAction::triggered, this, &TQuestions::Paste1Click);

  // The card: a deeper band and question, and the pad below them in place of the answer rows.
  Panel3->resize(610, Panel3->height());
  Shape1->resize(610, 106);
  RichEdit6->resize(RichEdit6->width(), 90);
  RichEdit8 = new app::TRichEdit(Panel3);
  RichEdit8->setObjectName("RichEdit8");
  RichEdit8->setGeometry(0, 104, 617, 161);
  RichEdit8->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  RichEdit8->setAcceptRichText(false);
  RichEdit8->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Its copy and paste keys go through the menu's handlers, and it has no menu of its own that
  // would go past them.
  RichEdit8->installEventFilter(this);
  RichEdit8->setContextMenuPolicy(Qt::NoContextMenu);
  // The answer rows and the mark stay hidden; the answer edits still receive the texts.
  for (QWidget* hidden : std::initializer_list<QWidget*>{
           MarkCheckBox, rsSuperCheck1, rsSuperCheck2, rsSuperCheck3, rsSuperCheck4, rsSuperCheck5,
           RichEdit1, RichEdit2, RichEdit3, RichEdit4, RichEdit5}) {
    hidden->hide();
  }
  // No path of the drill shows the item review: its button has no handler.
  QObject::disconnect(ItemReviewBtn, &QPushButton::clicked, nullptr, nullptr);

  // The study's chapter edit stays, hidden for good: the study's routines show and hide the
  // chapter through ChapterRefControl, which gives this label.
  ChapterRef = new components::TWenText(ReferenceBox);
  ChapterRef->setObjectName("ChapterRef");
  ChapterRef->setGeometry(8, 13, 482, 52);
  ChapterRef->setWordWrap(true);
  ChapterRef->SetDataSource(WenDbf1.get());
  ChapterRef->SetDataField("chapter");
  ChapterRef->hide();

  Drumel = new components::TWenCheckBox(ClientArea);
  Drumel->setObjectName("Drumel");
  Drumel->setText("Drumel");
  Drumel->SetValueChecked("true");
  Drumel->SetValueUnChecked("false");
  Drumel->SetDataSource(WenDbf1.get());
  Drumel->SetDataField("Drumel");
  Drumel->hide();
}

QString TQuestions::StatusText() const {
  return QString("Time remaining: %1 minutes").arg(app::Ctx().Values.MinutesLeft);
}

// ---- Showing a card

void TQuestions::WenDbf1DataChange(components::TWenDataSource*, components::TWenField*) {
  // A card keeps no state of its own (no answer layout, check style or number lists): before
  // the first show nothing follows the moves, and the controls follow every move after it.
  if (ShownOnce()) ShowCard();
}

void TQuestions::ShowItem() { ShowCard(); }

void TQuestions::ShowCard() {
  SetEditColor(RichEdit8, StandardBackground(RichEdit8));
  // Only Previous is switched off on arrival: Next on the last card leads to the drill's end.
  // Before the first card OnTest holds no number, and nothing here reads it.
  if (app::Ctx().Test.CurrentItem == 1) newPrevBtn->setEnabled(false);
  StatusBar1->SetSimpleText(StatusText());
  HideReferences();
  ShowTexts();
  FitQuestionWidth();
  EnableExhibit();
  RestoreItemState();
  update();
  RichEdit6->viewport()->update();
  RichEdit8->clear();
  RichEdit8->setFocus();
}

// ---- Moving

void TQuestions::NewNextBtnClick() {
  newPrevBtn->setEnabled(true);
  app::Ctx().Test.ReviewFlag = 0;
  StoreCurrentItem();
  if (LastItemStored()) {
    platform::gui::Services::Current().ShowMessage(
        QStringLiteral("You have completed this all questions in this Drumel set."), this);
    NewNextBtn->setEnabled(false);
  }
  StepToNextItem();
}

void TQuestions::newPrevBtnClick() {
  NewNextBtn->setEnabled(true);
  app::TQuestions::newPrevBtnClick();
}

// ---- The countdown

void TQuestions::Timer1Timer() {
  if (!TickCounts()) return;
  TickDisplays(QString());
  if (app::Ctx().Values.MinutesLeft >= 1) return;
  StatusBar1->SetSimpleText(QStringLiteral("Time Expired"));
  // Off before the box: the box runs the event loop, and a tick arriving meanwhile finds the
  // timer stopped and does nothing.
  Timer1->stop();
  platform::gui::Services::Current().ShowMessage(
      QStringLiteral("The time allocated for this test has expired."), this);
}

// ---- Answers and the clipboard

void TQuestions::ShowAnswersBtnClick() {
  GoToBtn->hide();
  const QString feedback = WenMemo6->toPlainText();
  FeedBackEdit->setPlainText(feedback);
  RichEdit8->clear();
  const components::TWenCheckBox* const flags[] = {WenCheckBox1, WenCheckBox2, WenCheckBox3,
                                                   WenCheckBox4, WenCheckBox5};
  const components::TWenMemo* const answers[] = {WenMemo1, WenMemo2, WenMemo3, WenMemo4, WenMemo5};
  QTextCursor cursor(RichEdit8->document());
  bool first = true;
  for (int i = 0; i < 5; ++i) {
    if (flags[i]->checkState() != Qt::Checked) continue;
    // One line for each answer, as plain text.
    if (!first) cursor.insertBlock();
    first = false;
    cursor.insertText(answers[i]->toPlainText());
  }
  SetEditColor(RichEdit8, QColor(255, 255, 128));
  FeedBackEdit->setVisible(!feedback.isEmpty());
  ListBox2->hide();
  ChapterRef->hide();
}

bool TQuestions::eventFilter(QObject* watched, QEvent* event) {
  if (RouteEditKey(event, IsPasteKey(event), [this] { Paste1Click(); })) return true;
  return app::TQuestions::eventFilter(watched, event);
}

void TQuestions::Copy1Click() {
  app::TRichEdit* const edit = FocusedEdit({RichEdit8, RichEdit6});
  if (edit != nullptr) CopySelection(edit);
}

void TQuestions::Paste1Click() {
  app::TRichEdit* const edit = FocusedEdit({RichEdit6, RichEdit8});
  if (edit == nullptr || edit->isReadOnly()) return;
  edit->insertPlainText(platform::gui::Services::Current().ClipboardText());
}

}  // namespace drill
