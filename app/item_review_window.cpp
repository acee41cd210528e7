#include "app/item_review_window.h"

#include <QColor>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPolygon>
#include <QStringList>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "app/app_context.h"
#include "app/question_window.h"
#include "app/test_controller.h"
#include "app/window_support.h"
#include "engine/utils.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace app {
namespace {

using platform::gui::AnsiToQString;
using platform::gui::QStringToAnsi;

constexpr char kPrintoutHeading[] = "Velkorin Item Review Printout";
const QColor kSilver(0xc0, 0xc0, 0xc0);
// The colour a glyph is transparent in: its bottom-left pixel.
const QColor kGlyphBack(0x80, 0x80, 0x00);
constexpr int kGlyphSize = 16;

// A legend picture: the glyph as the list draws it on the window's silver.
QPixmap LegendPicture(const QImage& glyph) {
  QImage picture(glyph.size(), QImage::Format_RGB32);
  picture.fill(kSilver);
  QPainter painter(&picture);
  components::DrawGlyph(painter, 0, 0, glyph, kSilver);
  painter.end();
  return QPixmap::fromImage(picture);
}

QLabel* Legend(QWidget* parent, const char* name, const char* text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, int left, int width) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(left, 401, width, 25);
  return button;
}

TQuestions& Questions() { return *Ctx().Questions; }
TControlForm& Control() { return *Ctx().ControlForm; }

// The test's length: the controller's OnTest as a whole number, read at each use.
int32_t TestLength() { return Questions().TestLength(); }

// Entry `i` of `list`, or `none` for an item that was never stored.
std::string EntryOr(const TTestList& list, int32_t i, const char* none) {
  return i < list.Count() ? list[i] : std::string(none);
}

bool Contains(const std::string& text, char letter) {
  return text.find(letter) != std::string::npos;
}

// The question window on item `item`: the current item and its record.
void GoToItem(int32_t item) {
  Ctx().Test.CurrentItem = item;
  Questions().GoToItem(item);
}

void SetItemCaption() { Questions().SetItemCaption(TestLength()); }

components::TrsSuperCheck* AnswerBox(int index) {
  TQuestions& q = Questions();
  components::TrsSuperCheck* const boxes[] = {q.rsSuperCheck1, q.rsSuperCheck2, q.rsSuperCheck3,
                                              q.rsSuperCheck4, q.rsSuperCheck5};
  return boxes[index];
}

// The current item's stored mark and answers back on the question window, and its caption.
void RestoreMarkAndAnswers() {
  TQuestions& q = Questions();
  const TControlForm& control = Control();
  const int32_t item = Ctx().Test.CurrentItem;
  if (control.marked.Count() > item) {
    q.MarkCheckBox->setChecked(Contains(control.marked[item], 'M'));
    const std::string letters = engine::AllTrim(EntryOr(control.userAnswers, item, ""));
    for (int i = 0; i < 5; ++i) AnswerBox(i)->SetChecked(Contains(letters, char('A' + i)));
  } else {
    q.MarkCheckBox->setChecked(false);
  }
  SetItemCaption();
}

// The number on line `line` of a number list.
int32_t ListNumber(const QListWidget* list, int line) { return StrToInt(list->item(line)->text()); }

}  // namespace

QImage TItemReview::ReviewGlyph(int slot) {
  QImage glyph(kGlyphSize, kGlyphSize, QImage::Format_RGB32);
  glyph.fill(kGlyphBack);
  QPainter p(&glyph);
  p.setRenderHint(QPainter::Antialiasing, false);  // no pixel may blend with the back colour
  if (slot == 1) {
    // Marked: a red flag on a black pole.
    p.fillRect(3, 1, 2, 14, Qt::black);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0x00, 0x00));
    p.drawPolygon(QPolygon({QPoint(5, 1), QPoint(14, 5), QPoint(5, 9)}));
  } else if (slot == 2) {
    // Incomplete: a question mark in a yellow box.
    p.setPen(Qt::black);
    p.setBrush(QColor(0xff, 0xff, 0x00));
    p.drawRect(1, 1, 13, 13);
    QFont font = platform::gui::SansFontPixels(12);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    p.drawText(QRect(1, 1, 14, 14), Qt::AlignCenter, "?");
  }
  // Slot 3 stays all back colour: the place of a glyph that is not set.
  p.end();
  return glyph;
}

TItemReview::TItemReview() : FormActivation(this) {
  setObjectName("ItemReview");
  setWindowTitle("Item Review");
  // A single border with the minimise box only: no system menu, no close box.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowMinimizeButtonHint);
  setFixedSize(629, 431);
  setAutoFillBackground(true);
  QPalette silver = palette();
  silver.setColor(QPalette::Window, kSilver);
  setPalette(silver);

  rsListBox1 = new components::TrsListBox(this);
  rsListBox1->setObjectName("rsListBox1");
  rsListBox1->setGeometry(8, 28, 616, 341);
  rsListBox1->setFont(platform::gui::MonoFontPixels(11));
  rsListBox1->SetItemHeight(16);
  rsListBox1->SetSeparators(components::TrsListBox::TSepStyle::spNone);
  rsListBox1->SetHorzScrollBar(false);
  rsListBox1->setFrameStyle(QFrame::Box | QFrame::Plain);  // flat
  rsListBox1->setLineWidth(1);
  rsListBox1->setFocusPolicy(Qt::ClickFocus);  // no tab stop
  for (int slot = 1; slot <= 3; ++slot) rsListBox1->Glyphs().SetGlyph(slot, ReviewGlyph(slot));
  rsListBox1->GlyphsChanged();
  rsListBox1->Loaded();
  rsListBox1->OnClick = [this](components::TrsListBox*) { rsListBox1Click(); };

  TimeLabel = new QLabel(this);
  TimeLabel->setObjectName("TimeLabel");
  TimeLabel->setGeometry(435, 7, 185, 17);
  TimeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont bold = TimeLabel->font();
  bold.setBold(true);
  TimeLabel->setFont(bold);

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setGeometry(24, 376, 16, 16);
  Image1->setPixmap(LegendPicture(rsListBox1->Glyphs().Glyph(1)));
  Label1 = Legend(this, "Label1", "= Marked Items", 41, 377);
  Image2 = new QLabel(this);
  Image2->setObjectName("Image2");
  Image2->setGeometry(136, 376, 16, 16);
  Image2->setPixmap(LegendPicture(rsListBox1->Glyphs().Glyph(2)));
  Label2 = Legend(this, "Label2", "= Incomplete Items", 153, 377);

  Button1 = Button(this, "Button1", "Review &Marked", 5, 105);
  Button2 = Button(this, "Button2", "Review &Incomplete", 117, 105);
  Button3 = Button(this, "Button3", "Grade Now", 228, 97);
  Button5 = Button(this, "Button5", "Print", 424, 75);
  Button4 = Button(this, "Button4", "&Review Item", 504, 75);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName("Edit1");
  Edit1->setGeometry(584, 402, 33, 21);

  RichEdit1 = new QTextEdit(this);
  RichEdit1->setObjectName("RichEdit1");
  RichEdit1->setGeometry(16, 344, 600, 17);
  RichEdit1->setFont(platform::gui::MonoFontPixels(13));
  RichEdit1->setAcceptRichText(false);
  RichEdit1->setLineWrapMode(QTextEdit::NoWrap);
  RichEdit1->hide();

  rsListBox1->OnDblClick = [this](components::TrsListBox*) { rsListBox1DblClick(); };

  platform::gui::GuardedConnect(Button1, &QPushButton::clicked, this, &TItemReview::Button1Click);
  platform::gui::GuardedConnect(Button2, &QPushButton::clicked, this, &TItemReview::Button2Click);
  platform::gui::GuardedConnect(Button3, &QPushButton::clicked, this, &TItemReview::Button3Click);
  platform::gui::GuardedConnect(Button4, &QPushButton::clicked, this, &TItemReview::Button4Click);
  platform::gui::GuardedConnect(Button5, &QPushButton::clicked, this, &TItemReview::Button5Click);
}

void TItemReview::FormCreate() { CentreOnScreen(this); }

std::vector<TReviewRow> TItemReview::Rows() const {
  std::vector<TReviewRow> rows;
  rows.reserve(static_cast<std::size_t>(rsListBox1->Count()));
  for (int i = 0; i < rsListBox1->Count(); ++i) {
    rows.push_back({rsListBox1->Item(i), rsListBox1->MarkupEnd(i)});
  }
  return rows;
}

void TItemReview::FormShow() {
  TAppContext& ctx = Ctx();
  const TControlForm& control = *ctx.ControlForm;
  if (TQuestions* questions = ctx.Questions) {
    Questions().RebuildNumberLists();
    Button1->setEnabled(questions->markedList->count() > 0);
    Button2->setEnabled(questions->incompleteList->count() > 0);
    questions->ItemReviewBtn->show();
  }
  rsListBox1->ClearItems();
  // An item never reached (the time ran out before it) has no stored entries: it shows as
  // unmarked, incomplete and unanswered.
  const auto entry = [](const TTestList& list, int32_t i, const char* none) {
    return i < list.Count() ? list[i] : std::string(none);
  };
  for (int32_t i = 1, rows = RowCount(); i <= rows; ++i) {
    const TReviewRow row =
        ReviewRow(i, entry(control.marked, i, "o"), entry(control.incompletes, i, "I"),
                  entry(control.userAnswers, i, "     "), entry(control.QuestionList, i, ""));
    rsListBox1->AddItem(row.Text, row.MarkupEnd);
  }
}

void TItemReview::FormActivate() { Ctx().Test.ReviewFlag = 1; }

void TItemReview::Button1Click() {
  TQuestions& q = Questions();
  q.NewNextBtn->hide();
  q.newPrevBtn->hide();
  q.NextMarkedBtn->setEnabled(true);
  q.PrevMarkedBtn->setEnabled(false);
  if (q.markedList->count() > 0) {
    GoToItem(ListNumber(q.markedList, 0));
    SetItemCaption();
  }
  if (q.markedList->count() == 1) q.NextMarkedBtn->setEnabled(false);
  RestoreMarkAndAnswers();
  q.PrevIncompleteBtn->hide();
  q.NextIncompleteBtn->hide();
  q.PrevMarkedBtn->show();
  q.NextMarkedBtn->show();
  q.show();
  CloseWindow(this);
}

void TItemReview::Button2Click() {
  TQuestions& q = Questions();
  q.NewNextBtn->hide();
  q.newPrevBtn->hide();
  q.PrevIncompleteBtn->setEnabled(false);
  q.NextIncompleteBtn->setEnabled(true);
  if (q.incompleteList->count() > 0) Ctx().Test.CurrentItem = ListNumber(q.incompleteList, 0);
  // Before the first item there is no record to go to.
  if (Ctx().Test.CurrentItem >= 1) GoToItem(Ctx().Test.CurrentItem);
  SetItemCaption();
  if (q.incompleteList->count() == 1) q.NextIncompleteBtn->setEnabled(false);
  q.show();
  CloseWindow(this);
  RestoreMarkAndAnswers();
  q.PrevIncompleteBtn->show();
  q.NextIncompleteBtn->show();
  q.PrevMarkedBtn->hide();
  q.NextMarkedBtn->hide();
  q.show();
  CloseWindow(this);
}

void TItemReview::Button3Click() { Control().GradeTest(); }

void TItemReview::Button4Click() {
  const auto refuse = [this](const char* text) {
    platform::gui::Services::Current().ShowMessage(text, this);
    Edit1->setFocus();
    Edit1->selectAll();
  };
  const QString text = Edit1->text();
  if (text.isEmpty()) {
    refuse("You must enter a question number to review.");
    return;
  }
  const int32_t n = StrToInt(text);
  if (n > TestLength() || n < 1) {
    refuse("Invalid question number");
    return;
  }
  ShowReviewedItem(n);
}

void TItemReview::rsListBox1DblClick() {
  const int row = rsListBox1->ItemIndex();
  if (row < 0) return;
  ShowReviewedItem(row + 1);
}

int32_t TItemReview::RowCount() const { return Ctx().Test.QuestionCount; }

void TItemReview::ShowReviewedItem(int32_t n) {
  TQuestions& q = Questions();
  for (QWidget* hidden : std::initializer_list<QWidget*>{
           q.ChapterRefControl(), q.FeedBackEdit, q.ListBox2, q.GoToBtn, q.NextMarkedBtn,
           q.PrevMarkedBtn, q.NextIncompleteBtn, q.PrevIncompleteBtn}) {
    hidden->hide();
  }
  ShowItemState(n);
  q.NewNextBtn->show();
  q.newPrevBtn->show();
  q.show();
  CloseWindow(this);
}

void TItemReview::ShowItemState(int32_t n) {
  TQuestions& q = Questions();
  const TControlForm& control = Control();
  GoToItem(n);
  SetItemCaption();
  const std::string mark = EntryOr(control.marked, n, "o");
  const std::string answers = EntryOr(control.userAnswers, n, "     ");
  const std::string correct = EntryOr(control.correctAnswers, n, "");
  const bool single = correct.size() < 2;
  for (int i = 0; i < 5; ++i) {
    components::TrsSuperCheck* box = AnswerBox(i);
    box->SetCheckStyle(single ? components::TrsCheckModel::csRound
                              : components::TrsCheckModel::csSquareCheck);
    box->SetGroupID(single ? 1 : 0);
  }
  q.MarkCheckBox->setChecked(mark == "M");
  for (int i = 0; i < 5; ++i) AnswerBox(i)->SetChecked(Contains(answers, char('A' + i)));
  q.rsSuperCheck5->setVisible(!q.WenMemo5->Text().empty());
}

void TItemReview::Button5Click() { PrintRows(kPrintoutHeading); }

void TItemReview::PrintRows(const char* heading) {
  QStringList lines;
  for (const std::string& line : ReviewPrintout(heading, Rows())) {
    lines << AnsiToQString(line);
  }
  RichEdit1->setPlainText(lines.join('\n'));
  const platform::gui::ServiceResult result = platform::gui::Services::Current().Print(
      {"Item Review", RichEdit1->toPlainText(), RichEdit1->font()});
  if (!result.ok) throw std::runtime_error(QStringToAnsi(result.error));
}

void TItemReview::FormClose() {
  // The question window comes back in place of the review: its texts are drawn afresh.
  TQuestions* q = Ctx().Questions;
  if (q == nullptr) return;
  for (QTextEdit* edit : std::initializer_list<QTextEdit*>{
           q->RichEdit1, q->RichEdit2, q->RichEdit3, q->RichEdit4, q->RichEdit5, q->RichEdit6}) {
    edit->viewport()->repaint();
  }
}

void TItemReview::closeEvent(QCloseEvent* event) {
  HandleOwnCloseEvent(event, this, [this] { FormClose(); });
}

}  // namespace app
