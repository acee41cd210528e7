#include "app/question_window.h"

#include <QAbstractTextDocumentLayout>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QThread>
#include <algorithm>

#include "app/app_context.h"
#include "app/exhibit_window.h"
#include "app/item_review_window.h"
#include "app/launch_file.h"
#include "app/notes_window.h"
#include "app/test_controller.h"
#include "engine/utils.h"
#include "platform/gui/guarded.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace app {
namespace {

using components::TrsCheckModel;
using platform::gui::AnsiToQString;
using platform::gui::ColorFromBgr;
using platform::gui::QStringToAnsi;

constexpr int kClientWidth = 628;
constexpr int kClientHeight = 412;
constexpr uint32_t kSilver = 0xC0C0C0;
constexpr uint32_t kTeal = 0x808000;  // $BBGGRR
constexpr uint32_t kWhite = 0xFFFFFF;

// The answer rows of the two layouts that Part of the record moves switch between.
constexpr int kFiveEditTops[] = {85, 119, 156, 189, 222};
constexpr int kFiveBoxTops[] = {84, 118, 155, 188, 221};
constexpr int kFourEditTops[] = {84, 127, 170, 213};
constexpr int kFourBoxTops[] = {84, 126, 169, 212};
constexpr int kAnswerWidth = 537;
constexpr int kQuestionWidth = 577;

// A panel with a lowered outer and a raised inner bevel.
class TBevelPanel : public QFrame {
 public:
  using QFrame::QFrame;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QColor light = Qt::white;
    const QColor dark = ColorFromBgr(0x808080);
    auto bevel = [&p](QRect r, const QColor& top_left, const QColor& bottom_right) {
      p.setPen(top_left);
      p.drawLine(r.topLeft(), r.topRight());
      p.drawLine(r.topLeft(), r.bottomLeft());
      p.setPen(bottom_right);
      p.drawLine(r.bottomLeft(), r.bottomRight());
      p.drawLine(r.topRight(), r.bottomRight());
    };
    const QRect outer = rect();
    bevel(outer, dark, light);
    bevel(outer.adjusted(1, 1, -1, -1), light, dark);
  }
};

void FillWith(QWidget* widget, uint32_t bgr) {
  widget->setAutoFillBackground(true);
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, ColorFromBgr(bgr));
  widget->setPalette(palette);
}

QPushButton* Button(const char* caption, const char* name, QWidget* parent, int left, int top,
                    int width, int height) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(left, top, width, height);
  return button;
}

TRichEdit* RichEdit(const char* name, QWidget* parent, int left, int top, int width, int height,
                    bool plain_read_only) {
  auto* edit = new TRichEdit(parent);
  edit->setObjectName(name);
  edit->setGeometry(left, top, width, height);
  edit->setFrameShape(QFrame::NoFrame);
  edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  if (plain_read_only) {
    edit->setReadOnly(true);
    edit->setAcceptRichText(false);
  }
  return edit;
}

template <typename Control>
Control* Bound(QWidget* parent, const char* name, components::TWenDbf* table, const char* field) {
  auto* control = new Control(parent);
  control->setObjectName(name);
  control->SetDataSource(table);
  control->SetDataField(field);
  control->hide();
  return control;
}

QListWidget* NumberList(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(name);
  list->hide();
  return list;
}

bool Contains(const std::string& text, char letter) {
  return text.find(letter) != std::string::npos;
}

TControlForm& Control() { return *Ctx().ControlForm; }

}  // namespace

TRichEdit::TRichEdit(QWidget* parent) : QTextEdit(parent) {
  QObject::connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged,
                   this, [this] { DocumentSizeChanged(); });
}

void TRichEdit::DocumentSizeChanged() {
  const bool same_width = width() == reported_width_;
  reported_width_ = width();
  if (same_width && OnResizeRequest) platform::gui::RunGuarded(OnResizeRequest);
}

void SetEntry(TTestList& list, int32_t index, std::string text) {
  // Inserting at `index` and deleting the entry after it replaces an existing entry; at
  // `index` == Count() the insert appends and there is nothing after it to delete.
  if (index >= 0 && index < list.Count()) {
    list.Set(index, std::move(text));
  } else {
    list.Insert(index, std::move(text));
  }
}

TQuestions::TQuestions() : FormActivation(this) {
  setObjectName("Questions");
  setWindowTitle("Item 1");
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
  FillWith(this, kSilver);

  WenDbf1 = std::make_unique<components::TWenDbf>();
  WenDbf1->SetName("WenDbf1");
  WenDbf1->CreateIndex = components::ciNotFound;
  // The move that fires it runs inside a handler, which is guarded.
  WenDbf1->OnDataChange = [this](components::TWenDataSource* sender, components::TWenField* field) {
    WenDbf1DataChange(sender, field);
  };

  MainMenu1 = new QMenuBar(this);
  MainMenu1->setObjectName("MainMenu1");
  File1 = MainMenu1->addMenu("&File");
  File1->setObjectName("File1");
  Exit1 = File1->addAction("E&xit");
  Exit1->setObjectName("Exit1");
  platform::gui::GuardedConnect(Exit1, &QAction::triggered, this, &TQuestions::Exit1Click);
  Edit1 = MainMenu1->addMenu("&Edit");
  Edit1->setObjectName("Edit1");
  Copy1 = Edit1->addAction("Copy");
  Copy1->setObjectName("Copy1");
  Copy1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  platform::gui::GuardedConnect(Copy1, &QAction::triggered, this, &TQuestions::Copy1Click);
  CopyQuestiontoClipboard1 = Edit1->addAction("Copy Question to Clipboard");
  CopyQuestiontoClipboard1->setObjectName("CopyQuestiontoClipboard1");
  CopyQuestiontoClipboard1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
  platform::gui::GuardedConnect(CopyQuestiontoClipboard1, &QAction::triggered, this,
                                &TQuestions::CopyQuestiontoClipboard1Click);
  Options1 = MainMenu1->addMenu("&Options");
  Options1->setObjectName("Options1");
  OpenNotes1 = Options1->addAction("&Open Notes");
  OpenNotes1->setObjectName("OpenNotes1");
  platform::gui::GuardedConnect(OpenNotes1, &QAction::triggered, this,
                                &TQuestions::OpenNotes1Click);
  StartOver1 = Options1->addAction("Start Over");
  StartOver1->setObjectName("StartOver1");
  platform::gui::GuardedConnect(StartOver1, &QAction::triggered, this,
                                &TQuestions::StartOver1Click);
  SendKeys1 = std::make_unique<components::TSendKeys>();

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(60000);
  platform::gui::GuardedConnect(Timer1, &QTimer::timeout, this, &TQuestions::Timer1Timer);
  Timer1->start();
  const int menu_height = MainMenu1->sizeHint().height();
  MainMenu1->setGeometry(0, 0, kClientWidth, menu_height);
  setFixedSize(kClientWidth, kClientHeight + menu_height);
  ClientArea = new QWidget(this);
  ClientArea->setObjectName("ClientArea");
  ClientArea->setGeometry(0, menu_height, kClientWidth, kClientHeight);
  QWidget* client = ClientArea;

  Panel1 = new TBevelPanel(client);
  Panel1->setObjectName("Panel1");
  Panel1->setGeometry(4, 5, 623, 343);
  FillWith(Panel1, kSilver);
  Panel3 = new QFrame(Panel1);
  Panel3->setObjectName("Panel3");
  Panel3->setGeometry(7, 6, 612, 259);
  FillWith(Panel3, kWhite);
  Shape1 = new QFrame(Panel3);
  Shape1->setObjectName("Shape1");
  Shape1->setGeometry(-1, -1, 614, 70);
  FillWith(Shape1, kTeal);
  ShowAnswersBtn = Button("Show &Answers", "ShowAnswersBtn", Panel1, 512, 273, 105, 30);
  ShowRefsBtn = Button("Show &References", "ShowRefsBtn", Panel1, 512, 307, 105, 30);

  // The question and the answers lie over the panels, at positions in the client area.
  RichEdit6 = RichEdit("RichEdit6", client, 22, 15, kQuestionWidth, 64, true);
  {
    QPalette palette = RichEdit6->palette();
    palette.setColor(QPalette::Base, ColorFromBgr(kTeal));
    palette.setColor(QPalette::Text, Qt::white);
    RichEdit6->setPalette(palette);
    QFont bold = RichEdit6->font();
    bold.setBold(true);
    RichEdit6->setFont(bold);
  }
  const char* const box_names[] = {"rsSuperCheck1", "rsSuperCheck2", "rsSuperCheck3",
                                   "rsSuperCheck4", "rsSuperCheck5"};
  const int box_tops[] = {83, 126, 169, 212, 248};
  components::TrsSuperCheck* boxes[5];
  for (int i = 0; i < 5; ++i) {
    auto* box = new components::TrsSuperCheck(client);
    box->setObjectName(box_names[i]);
    box->SetAutoSizeText(false);
    box->SetCaption(std::string(1, static_cast<char>('A' + i)) + ".");
    box->SetColor(kWhite);
    box->setGeometry(19, box_tops[i], i == 3 ? 30 : 29, 15);
    boxes[i] = box;
  }
  rsSuperCheck1 = boxes[0];
  rsSuperCheck2 = boxes[1];
  rsSuperCheck3 = boxes[2];
  rsSuperCheck4 = boxes[3];
  rsSuperCheck5 = boxes[4];
  rsSuperCheck1->SetCheckStyle(TrsCheckModel::csSquareCheck);
  rsSuperCheck5->hide();
  RichEdit1 = RichEdit("RichEdit1", client, 54, 84, kAnswerWidth, 41, false);
  RichEdit2 = RichEdit("RichEdit2", client, 54, 127, kAnswerWidth, 41, true);
  RichEdit3 = RichEdit("RichEdit3", client, 54, 171, kAnswerWidth, 41, true);
  RichEdit4 = RichEdit("RichEdit4", client, 54, 214, kAnswerWidth, 41, true);
  RichEdit5 = RichEdit("RichEdit5", client, 54, 241, kAnswerWidth, 27, true);
  RichEdit5->hide();
  RichEdit1->OnResizeRequest = [this] { RichEdit1ResizeRequest(); };
  RichEdit2->OnResizeRequest = [this] { RichEdit2ResizeRequest(); };
  RichEdit3->OnResizeRequest = [this] { RichEdit3ResizeRequest(); };
  RichEdit4->OnResizeRequest = [this] { RichEdit4ResizeRequest(); };
  RichEdit5->OnResizeRequest = [this] { RichEdit5ResizeRequest(); };
  RichEdit6->OnResizeRequest = [this] { RichEdit6ResizeRequest(); };
  // Copies go through Copy1Click alone: the edits' own copy keys are routed there, and they
  // have no menu of their own that would copy past it.
  for (TRichEdit* edit : {RichEdit1, RichEdit2, RichEdit3, RichEdit4, RichEdit5, RichEdit6}) {
    edit->installEventFilter(this);
    edit->setContextMenuPolicy(Qt::NoContextMenu);
  }

  MarkCheckBox = new QCheckBox("&Mark Question", client);
  MarkCheckBox->setObjectName("MarkCheckBox");
  MarkCheckBox->setGeometry(11, 364, 107, 17);
  {
    QFont bold = MarkCheckBox->font();
    bold.setBold(true);
    MarkCheckBox->setFont(bold);
  }
  MarkCheckBox->setToolTip("Check this box to more easily return to this question.");
  // The bold caption in our font may be wider than the box was drawn for: it is not cut.
  MarkCheckBox->resize(std::max(107, MarkCheckBox->sizeHint().width()), 17);
  ExhibitBtn = Button("&Exhibit", "ExhibitBtn", client, 296, 352, 105, 40);
  ExhibitBtn->setEnabled(false);
  newPrevBtn = Button("&Previous", "newPrevBtn", client, 408, 352, 103, 40);
  NewNextBtn = Button("&Next", "NewNextBtn", client, 517, 352, 104, 40);
  ItemReviewBtn = Button("Item Review", "ItemReviewBtn", client, 185, 352, 105, 40);
  NextMarkedBtn = Button("Next &Marked", "NextMarkedBtn", client, 516, 352, 105, 40);
  PrevMarkedBtn = Button("Previous Marked", "PrevMarkedBtn", client, 406, 352, 105, 40);
  NextIncompleteBtn = Button("Next &Incomplete", "NextIncompleteBtn", client, 516, 352, 105, 40);
  PrevIncompleteBtn = Button("Prev Incomplete", "PrevIncompleteBtn", client, 406, 352, 105, 40);
  for (QPushButton* walk :
       {ItemReviewBtn, NextMarkedBtn, PrevMarkedBtn, NextIncompleteBtn, PrevIncompleteBtn}) {
    walk->hide();
  }
  using platform::gui::GuardedConnect;
  GuardedConnect(ExhibitBtn, &QPushButton::clicked, this, &TQuestions::ExhibitBtnClick);
  GuardedConnect(newPrevBtn, &QPushButton::clicked, this, &TQuestions::newPrevBtnClick);
  GuardedConnect(NewNextBtn, &QPushButton::clicked, this, &TQuestions::NewNextBtnClick);
  GuardedConnect(ItemReviewBtn, &QPushButton::clicked, this, &TQuestions::ItemReviewBtnClick);
  GuardedConnect(NextMarkedBtn, &QPushButton::clicked, this, &TQuestions::NextMarkedBtnClick);
  GuardedConnect(PrevMarkedBtn, &QPushButton::clicked, this, &TQuestions::PrevMarkedBtnClick);
  GuardedConnect(NextIncompleteBtn, &QPushButton::clicked, this,
                 &TQuestions::NextIncompleteBtnClick);
  GuardedConnect(PrevIncompleteBtn, &QPushButton::clicked, this,
                 &TQuestions::PrevIncompleteBtnClick);
  GuardedConnect(ShowAnswersBtn, &QPushButton::clicked, this, &TQuestions::ShowAnswersBtnClick);
  GuardedConnect(ShowRefsBtn, &QPushButton::clicked, this, &TQuestions::ShowRefsBtnClick);

  components::TWenDbf* table = WenDbf1.get();
  ReferenceBox = new QGroupBox(client);
  ReferenceBox->setObjectName("ReferenceBox");
  ReferenceBox->setGeometry(13, 272, 496, 71);
  FeedBackEdit = RichEdit("FeedBackEdit", ReferenceBox, 8, 11, 482, 54, true);
  SetEditColor(FeedBackEdit, ColorFromBgr(kSilver));
  FeedBackEdit->hide();
  ChapterRef = Bound<components::TWenEdit>(ReferenceBox, "ChapterRef", table, "chapter");
  ChapterRef->setGeometry(8, 11, 482, 54);
  ChapterRef->setFrame(false);
  {
    QPalette palette = ChapterRef->palette();
    palette.setColor(QPalette::Base, ColorFromBgr(kSilver));
    ChapterRef->setPalette(palette);
  }
  ListBox2 = new QListWidget(ReferenceBox);
  ListBox2->setObjectName("ListBox2");
  ListBox2->setGeometry(8, 12, 401, 53);
  {
    QPalette palette = ListBox2->palette();
    palette.setColor(QPalette::Base, ColorFromBgr(kSilver));
    ListBox2->setPalette(palette);
  }
  ListBox2->hide();
  GoToBtn = Button("&Goto", "GoToBtn", ReferenceBox, 416, 11, 74, 54);
  GoToBtn->hide();
  GuardedConnect(GoToBtn, &QPushButton::clicked, this, &TQuestions::GoToBtnClick);
  GuardedConnect(ListBox2, &QListWidget::itemDoubleClicked, this, &TQuestions::ListBox2DblClick);

  StatusBar1 = new TStatusBar(client);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setGeometry(0, kClientHeight - 19, kClientWidth, 19);

  incompleteList = NumberList(client, "incompleteList");
  markedList = NumberList(client, "markedList");
  incompleteListP = NumberList(client, "incompleteListP");
  markedListP = NumberList(client, "markedListP");

  using components::TWenCheckBox;
  using components::TWenEdit;
  using components::TWenMemo;
  QuestionMemo = Bound<TWenMemo>(client, "QuestionMemo", table, "question");
  WenMemo1 = Bound<TWenMemo>(client, "WenMemo1", table, "answera");
  WenMemo2 = Bound<TWenMemo>(client, "WenMemo2", table, "answerb");
  WenMemo3 = Bound<TWenMemo>(client, "WenMemo3", table, "answerc");
  WenMemo4 = Bound<TWenMemo>(client, "WenMemo4", table, "answerd");
  WenMemo5 = Bound<TWenMemo>(client, "WenMemo5", table, "answere");
  WenMemo6 = Bound<TWenMemo>(client, "WenMemo6", table, "feedback");
  GuardedConnect(WenMemo1, &QPlainTextEdit::textChanged, this, &TQuestions::WenMemo1Change);
  TWenCheckBox** flags[] = {&WenCheckBox1, &WenCheckBox2, &WenCheckBox3, &WenCheckBox4,
                            &WenCheckBox5};
  for (int i = 0; i < 5; ++i) {
    const std::string name = "WenCheckBox" + std::to_string(i + 1);
    const std::string field = std::string("check") + static_cast<char>('a' + i);
    auto* box = new TWenCheckBox(client);
    box->setObjectName(QString::fromStdString(name));
    box->SetValueChecked("true");
    box->SetValueUnChecked("false");
    box->SetDataSource(table);
    box->SetDataField(field);
    box->hide();
    *flags[i] = box;
  }
  WenSelectNote = Bound<components::TWenText>(client, "WenSelectNote", table, "selectnote");
  Objective = Bound<TWenEdit>(client, "Objective", table, "objective");
  ExhibitFile = Bound<TWenEdit>(client, "ExhibitFile", table, "exhibfile");
  Topic1 = Bound<TWenEdit>(client, "Topic1", table, "topic1");
  Topic2 = Bound<TWenEdit>(client, "Topic2", table, "topic2");
  Topic3 = Bound<TWenEdit>(client, "Topic3", table, "topic3");
  top1help = Bound<TWenEdit>(client, "top1help", table, "top1help");
  top2help = Bound<TWenEdit>(client, "top2help", table, "top2help");
  top3help = Bound<TWenEdit>(client, "top3help", table, "top3help");
  top1acropg = Bound<TWenEdit>(client, "top1acropg", table, "top1acropg");
  top2acropg = Bound<TWenEdit>(client, "top2acropg", table, "top2acropg");
  top3acropg = Bound<TWenEdit>(client, "top3acropg", table, "top3acropg");
  RichEdit7 = RichEdit("RichEdit7", client, 16, 96, 601, 89, false);
  RichEdit7->hide();
  RecNoEdit = new QLineEdit(client);
  RecNoEdit->setObjectName("RecNoEdit");
  RecNoEdit->hide();
  CurrRecEdit = new QLineEdit(client);
  CurrRecEdit->setObjectName("CurrRecEdit");
  CurrRecEdit->hide();
}

TQuestions::~TQuestions() {
  // The bound controls go before the table: a table that goes first leaves them showing no
  // field, and the memos' change would reach this half-destroyed window.
  delete ClientArea;
}

void TQuestions::SetEditColor(QTextEdit* edit, const QColor& color) {
  QPalette palette = edit->palette();
  if (palette.color(QPalette::Base) == color) return;
  palette.setColor(QPalette::Base, color);
  edit->setPalette(palette);
}

components::TrsSuperCheck* TQuestions::Box(int index) const {
  components::TrsSuperCheck* const boxes[] = {rsSuperCheck1, rsSuperCheck2, rsSuperCheck3,
                                              rsSuperCheck4, rsSuperCheck5};
  return boxes[index];
}

TRichEdit* TQuestions::AnswerEdit(int index) const {
  TRichEdit* const edits[] = {RichEdit1, RichEdit2, RichEdit3, RichEdit4, RichEdit5};
  return edits[index];
}

// ---- Creation, activation, closing

void TQuestions::FormCreate() {
  Ctx().Test.CurrentItem = 0;
  CentreOnScreen(this);
  Ctx().Test.ReviewFlag = 1;
}

void TQuestions::FormShow() {
  if (shown_once_) return;
  shown_once_ = true;
  ShowItem();
}

void TQuestions::FormActivate() { StatusBar1->SetSimpleText(StatusText()); }

void TQuestions::FormClose() { platform::gui::Services::Current().Quit(); }

void TQuestions::closeEvent(QCloseEvent* event) {
  HandleCloseEvent(event, [this] { FormClose(); });
}

void TQuestions::Exit1Click() { platform::gui::Services::Current().Quit(); }

void TQuestions::ExhibitBtnClick() {
  if (Ctx().ExhibitWnd != nullptr) Ctx().ExhibitWnd->show();
}

void TQuestions::RichEdit1ResizeRequest() { RichEdit1->resize(554, RichEdit1->height()); }
void TQuestions::RichEdit2ResizeRequest() { RichEdit2->resize(554, RichEdit2->height()); }
void TQuestions::RichEdit3ResizeRequest() { RichEdit3->resize(554, RichEdit3->height()); }
void TQuestions::RichEdit4ResizeRequest() { RichEdit4->resize(554, RichEdit4->height()); }
void TQuestions::RichEdit5ResizeRequest() { RichEdit5->resize(554, RichEdit5->height()); }
void TQuestions::RichEdit6ResizeRequest() {
  if (RichEdit6->width() != 594) RichEdit6->resize(594, RichEdit6->height());
}

QString TQuestions::StatusText() const {
  return AnsiToQString(WenSelectNote->Caption()) +
         QString("  Time remaining: %1 minutes").arg(Ctx().Values.MinutesLeft);
}

// ---- Showing an item

void TQuestions::WenDbf1DataChange(components::TWenDataSource*, components::TWenField*) {
  // Before the first show only the item's state follows the moves: the pool walk, the build
  // and the start window's reopening of the table set no control's text.
  const bool show = shown_once_;
  const TAnswerLayout before = layout_;
  ChooseAnswerLayout();
  if (show && layout_ != before) ApplyAnswerLayout();
  if (show) ShowRecord();
  ShowItemState();
}

void TQuestions::ShowItem() {
  ApplyAnswerLayout();
  ShowRecord();
  ShowItemStateFirst();
}

void TQuestions::ShowItemState() {
  const bool show = shown_once_;
  if (show) ClearAnswerBoxes();
  SetCheckStyles();
  if (show) ShowAnswerBoxes();
  RebuildNumberLists();
  if (show) {
    RestoreItemState();
    Repaint();
  }
}

void TQuestions::ShowItemStateFirst() {
  ClearAnswerBoxes();
  ApplyBoxStyle();
  ShowAnswerBoxes();
  RestoreItemState();
  Repaint();
}

void TQuestions::ChooseAnswerLayout() {
  const size_t fifth = WenMemo5->Text().size();
  if (fifth > 1 && layout_ != alFiveAnswers) layout_ = alFiveAnswers;
  if (fifth < 2 && layout_ == alFiveAnswers) layout_ = alFourAnswers;
}

void TQuestions::ApplyAnswerLayout() {
  if (layout_ == alDesigned) return;
  const bool five = layout_ == alFiveAnswers;
  const int* const edit_tops = five ? kFiveEditTops : kFourEditTops;
  const int* const box_tops = five ? kFiveBoxTops : kFourBoxTops;
  for (int i = 0; i < (five ? 5 : 4); ++i) {
    TRichEdit* edit = AnswerEdit(i);
    edit->setGeometry(edit->x(), edit_tops[i], edit->width(), five ? 27 : 42);
    components::TrsSuperCheck* box = Box(i);
    box->move(box->x(), box_tops[i]);
  }
  RichEdit5->setVisible(five);
  rsSuperCheck5->setVisible(five);
}

void TQuestions::ShowRecord() {
  StatusBar1->SetSimpleText(StatusText());
  HideReferences();
  ShowTexts();
  FitQuestionWidth();
  FitAnswerWidths();
  for (int i = 0; i < 5; ++i) SetEditColor(AnswerEdit(i), Qt::white);
  EnableExhibit();
}

void TQuestions::ClearAnswerBoxes() {
  rsSuperCheck1->setFocus();
  for (int i = 0; i < 5; ++i) Box(i)->SetChecked(false);
}

void TQuestions::FitAnswerWidths() {
  for (int i = 0; i < 5; ++i) {
    TRichEdit* edit = AnswerEdit(i);
    if (edit->width() != kAnswerWidth) edit->resize(kAnswerWidth, edit->height());
  }
}

void TQuestions::HideReferences() {
  for (QWidget* reference : {ChapterRefControl(), static_cast<QWidget*>(FeedBackEdit),
                             static_cast<QWidget*>(ListBox2), static_cast<QWidget*>(GoToBtn)}) {
    reference->hide();
  }
}

void TQuestions::ShowTexts() {
  // Plain text always: Qt would take an answer such as "<b>" for rich text.
  const components::TWenMemo* const memos[] = {WenMemo1, WenMemo2, WenMemo3, WenMemo4, WenMemo5};
  for (int i = 0; i < 5; ++i) AnswerEdit(i)->setPlainText(memos[i]->toPlainText());
  RichEdit6->setPlainText(QuestionMemo->toPlainText());
}

void TQuestions::FitQuestionWidth() {
  if (RichEdit6->width() != kQuestionWidth) RichEdit6->resize(kQuestionWidth, RichEdit6->height());
}

void TQuestions::EnableExhibit() { ExhibitBtn->setEnabled(!ExhibitFile->text().isEmpty()); }

void TQuestions::SetCheckStyles() {
  int correct = 0;
  for (const components::TWenCheckBox* flag :
       {WenCheckBox1, WenCheckBox2, WenCheckBox3, WenCheckBox4, WenCheckBox5}) {
    if (flag->checkState() == Qt::Checked) ++correct;
  }
  if (correct == 0) return;  // the previous record's style stays
  SetBoxStyle(correct > 1 ? TrsCheckModel::csSquareCheck : TrsCheckModel::csRound,
              correct > 1 ? 0 : 1);
}

void TQuestions::SetBoxStyle(components::TrsCheckModel::TCheckStyle style, int16_t group) {
  box_style_ = {style, group};
  if (shown_once_) ApplyBoxStyle();
}

void TQuestions::ApplyBoxStyle() {
  if (!box_style_) return;  // the boxes keep their designed styles
  for (int i = 0; i < 5; ++i) {
    components::TrsSuperCheck* box = Box(i);
    if (box->CheckStyle() != box_style_->first) box->SetCheckStyle(box_style_->first);
    if (box->GroupID() != box_style_->second) box->SetGroupID(box_style_->second);
  }
}

void TQuestions::ShowAnswerBoxes() {
  rsSuperCheck3->setVisible(!WenMemo3->Lines().empty());
  rsSuperCheck4->setVisible(!WenMemo4->Lines().empty());
  rsSuperCheck5->setVisible(!WenMemo5->Lines().empty());
}

void TQuestions::RebuildNumberLists() {
  const std::pair<QListWidget*, QListWidget*> lists[] = {{incompleteList, incompleteListP},
                                                         {markedList, markedListP}};
  for (const auto& [up, down] : lists) {
    if (up->count() > 0) up->clear();
    if (down->count() > 0) down->clear();
  }
  if (Ctx().ControlForm == nullptr) return;
  const std::pair<const TTestList*, const char*> sources[] = {{&Control().incompletes, "I"},
                                                              {&Control().marked, "M"}};
  for (int l = 0; l < 2; ++l) {
    const TTestList& source = *sources[l].first;
    for (int32_t k = 1; k < source.Count(); ++k) {
      if (source[k] != sources[l].second) continue;
      lists[l].first->addItem(QString::number(k));
      lists[l].second->insertItem(0, QString::number(k));
    }
  }
}

void TQuestions::Repaint() {
  update();
  for (TRichEdit* edit : {RichEdit1, RichEdit2, RichEdit3, RichEdit4, RichEdit5, RichEdit6})
    edit->viewport()->update();
}

void TQuestions::RestoreItemState() {
  const int32_t item = Ctx().Test.CurrentItem;
  const TControlForm& control = Control();
  if (control.marked.Count() > item) {
    MarkCheckBox->setChecked(Contains(control.marked[item], 'M'));
    TickFromAnswers(control.userAnswers[item]);
  }
  if (control.marked.Count() <= item) MarkCheckBox->setChecked(false);
  SetItemCaption(Ctx().Test.QuestionCount);
}

void TQuestions::WenMemo1Change() {
  if (!isVisible()) return;
  const int32_t item = Ctx().Test.CurrentItem;
  const TControlForm& control = Control();
  if (control.marked.Count() > item) {
    MarkCheckBox->setChecked(Contains(control.marked[item], 'M'));
    rsSuperCheck1->SetChecked(Contains(engine::AllTrim(control.userAnswers[item]), 'A'));
  }
  if (control.marked.Count() <= item) MarkCheckBox->setChecked(false);
}

void TQuestions::SetItemCaption(int32_t length) {
  setWindowTitle(QString("Item %1 of %2").arg(Ctx().Test.CurrentItem).arg(length));
}

void TQuestions::TickFromAnswers(const std::string& answers) {
  const std::string letters = engine::AllTrim(answers);
  for (int i = 0; i < 5; ++i) Box(i)->SetChecked(Contains(letters, static_cast<char>('A' + i)));
}

// ---- Storing and moving

int32_t TQuestions::TestLength() const { return StrToInt(Control().OnTest->text()); }

std::string TQuestions::TickedLetters() const {
  std::string letters;
  for (int i = 0; i < 5; ++i) {
    if (Box(i)->Checked()) letters += static_cast<char>('A' + i);
  }
  return letters;
}

void TQuestions::GoToItem(int32_t item) { WenDbf1->Go(StrToInt(Control().RecordNo[item])); }

std::string TQuestions::DisplayLine() const {
  return TControlForm::DisplayLine(QuestionMemo->Text());
}

namespace {

// The mark, the completeness, the letters and the objective of item n, as Next stores them.
void StoreState(TControlForm& c, int32_t n, const std::string& mark, std::string letters,
                const std::string& objective) {
  if (c.marked.Count() < n) c.marked.Add(mark);
  if (c.marked.Count() >= n) SetEntry(c.marked, n, mark);
  const std::string complete = letters.empty() ? "I" : "o";
  if (c.incompletes.Count() < n) c.incompletes.Add(complete);
  if (c.incompletes.Count() >= n) SetEntry(c.incompletes, n, complete);
  letters.resize(5, ' ');
  if (c.userAnswers.Count() >= n) {
    SetEntry(c.userAnswers, n, letters);
    SetEntry(c.Objective, n, objective);
  }
  if (c.userAnswers.Count() < n) {
    c.userAnswers.Add(letters);
    c.Objective.Add(objective);
  }
}

}  // namespace

void TQuestions::StoreCurrentItem() {
  TControlForm& c = Control();
  const int32_t n = Ctx().Test.CurrentItem;
  if (TestLength() < n) return;
  if (c.QuestionList.Count() <= n) c.QuestionList.Add(DisplayLine());
  StoreState(c, n, MarkCheckBox->isChecked() ? "M" : "o", TickedLetters(),
             QStringToAnsi(Objective->text()));
}

void TQuestions::NewNextBtnClick() {
  Ctx().Test.ReviewFlag = 0;
  StoreCurrentItem();
  if (LastItemStored()) {
    if (Ctx().ItemReview != nullptr) Ctx().ItemReview->show();
    hide();
  }
  StepToNextItem();
}

bool TQuestions::LastItemStored() {
  const TTestState& test = Ctx().Test;
  return Control().marked.Count() > TestLength() && test.CurrentItem == TestLength() &&
         test.ReviewFlag == 0;
}

void TQuestions::StepToNextItem() {
  TTestState& test = Ctx().Test;
  TControlForm& c = Control();
  if (test.QuestionCount > test.CurrentItem) {
    ++test.CurrentItem;
    GoToItem(test.CurrentItem);
  }
  const int32_t item = test.CurrentItem;
  if (c.marked.Count() > item) {
    MarkCheckBox->setChecked(Contains(c.marked[item], 'M'));
    TickFromAnswers(c.userAnswers[item]);
  }
  if (c.marked.Count() <= item) MarkCheckBox->setChecked(false);
  SetItemCaption(test.QuestionCount);
}

void TQuestions::newPrevBtnClick() {
  TTestState& test = Ctx().Test;
  TControlForm& c = Control();
  test.ReviewFlag = 1;
  const int32_t n = test.CurrentItem;
  if (TestLength() >= n) {
    if (n == test.QuestionCount && c.QuestionList.Count() <= n) c.QuestionList.Add(DisplayLine());
    const std::string mark = MarkCheckBox->isChecked() ? "M" : "o";
    if (c.marked.Count() < n) c.marked.Add(mark);
    if (c.marked.Count() >= n) SetEntry(c.marked, n, mark);
    std::string letters = TickedLetters();
    if (c.incompletes.Count() >= n) SetEntry(c.incompletes, n, letters.empty() ? "I" : "o");
    letters.resize(5, ' ');
    if (c.userAnswers.Count() >= n) {
      SetEntry(c.userAnswers, n, letters);
    } else {
      c.userAnswers.Add(letters);
    }
    if (c.Objective.Count() <= n) c.Objective.Add(QStringToAnsi(Objective->text()));
  }
  if (test.CurrentItem > 1) {
    --test.CurrentItem;
    GoToItem(test.CurrentItem);
  }
  const int32_t item = test.CurrentItem;
  MarkCheckBox->setChecked(Contains(c.marked[item], 'M'));
  TickFromAnswers(c.userAnswers[item]);
  SetItemCaption(test.QuestionCount);
}

void TQuestions::ItemReviewBtnClick() {
  TControlForm& c = Control();
  const int32_t n = Ctx().Test.CurrentItem;
  if (TestLength() >= n) {
    if (c.QuestionList.Count() <= n) {
      const std::string question = QuestionMemo->Text();
      std::string line = question.substr(0, 63);
      if (question.size() > 63) line += "...";
      c.QuestionList.Add(engine::AllTrim(line));
    }
    StoreState(c, n, MarkCheckBox->isChecked() ? "M" : "o", TickedLetters(),
               QStringToAnsi(Objective->text()));
  }
  if (Ctx().ItemReview != nullptr) Ctx().ItemReview->show();
  hide();
  for (QPushButton* walk : {NextMarkedBtn, PrevMarkedBtn, NextIncompleteBtn, PrevIncompleteBtn})
    walk->hide();
}

void TQuestions::StoreForWalk() {
  TControlForm& c = Control();
  const int32_t n = Ctx().Test.CurrentItem;
  const std::string mark = MarkCheckBox->isChecked() ? "M" : "o";
  if (c.marked.Count() < n) {
    c.marked.Add(mark);
  } else {
    SetEntry(c.marked, n, mark);
  }
  std::string letters = TickedLetters();
  const std::string complete = letters.empty() ? "I" : "o";
  if (c.incompletes.Count() < n) c.incompletes.Add(complete);
  if (c.incompletes.Count() >= n) SetEntry(c.incompletes, n, complete);
  letters.resize(5, ' ');
  if (c.userAnswers.Count() >= n) {
    SetEntry(c.userAnswers, n, letters);
    SetEntry(c.Objective, n, QStringToAnsi(Objective->text()));
  }
}

void TQuestions::Walk(QListWidget* list, QPushButton* opposite, QPushButton* own,
                      bool prev_marked) {
  TTestState& test = Ctx().Test;
  TControlForm& c = Control();
  opposite->setEnabled(true);
  StoreForWalk();
  const QString current = QString::number(test.CurrentItem);
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->text() != current) continue;
    if (i + 1 < list->count()) {
      own->setEnabled(true);
      test.CurrentItem = StrToInt(list->item(i + 1)->text());
      GoToItem(test.CurrentItem);
      // The move rebuilt the list: its last line is read afresh.
      if (list->count() > 0 &&
          list->item(list->count() - 1)->text() == QString::number(test.CurrentItem)) {
        own->setEnabled(false);
      }
    } else {
      own->setEnabled(false);
      if (prev_marked && markedList->count() == 1) {
        PrevMarkedBtn->setEnabled(false);
        NextMarkedBtn->setEnabled(false);
      }
    }
    return;
  }

  // The current item is not in the list: it is stored and shown again.
  const int32_t length = TestLength();
  if (length >= test.CurrentItem) {
    StoreState(c, test.CurrentItem, MarkCheckBox->isChecked() ? "M" : "o", TickedLetters(),
               QStringToAnsi(Objective->text()));
  }
  if (c.userAnswers.Count() <= test.CurrentItem && c.incompletes.Count() == test.CurrentItem + 1) {
    NextIncompleteBtn->setEnabled(false);
  }
  test.CurrentItem = std::min(test.CurrentItem, test.QuestionCount);
  const int32_t item = test.CurrentItem;
  const bool single = c.correctAnswers[item].size() < 2;
  SetBoxStyle(single ? TrsCheckModel::csRound : TrsCheckModel::csSquareCheck, single ? 1 : 0);
  MarkCheckBox->setChecked(c.marked[item] == "M");
  TickFromAnswers(c.userAnswers[item]);
  rsSuperCheck5->setVisible(!WenMemo5->Text().empty());
  SetItemCaption(length);
}

void TQuestions::NextMarkedBtnClick() { Walk(markedList, PrevMarkedBtn, NextMarkedBtn, false); }

void TQuestions::PrevMarkedBtnClick() { Walk(markedListP, NextMarkedBtn, PrevMarkedBtn, true); }

void TQuestions::NextIncompleteBtnClick() {
  Walk(incompleteList, PrevIncompleteBtn, NextIncompleteBtn, false);
}

void TQuestions::PrevIncompleteBtnClick() {
  Walk(incompleteListP, NextIncompleteBtn, PrevIncompleteBtn, false);
}

// ---- Answers and references

void TQuestions::ShowAnswersBtnClick() {
  GoToBtn->hide();
  FeedBackEdit->setPlainText(WenMemo6->toPlainText());
  FeedBackEdit->setVisible(!FeedBackEdit->toPlainText().isEmpty());
  ListBox2->hide();
  ChapterRefControl()->hide();
  const components::TWenCheckBox* const flags[] = {WenCheckBox1, WenCheckBox2, WenCheckBox3,
                                                   WenCheckBox4, WenCheckBox5};
  for (int i = 0; i < 5; ++i) {
    if (flags[i]->checkState() == Qt::Checked) SetEditColor(AnswerEdit(i), QColor(255, 255, 0));
  }
}

void TQuestions::ShowRefsBtnClick() {
  const TStartUpValues& v = Ctx().Values;
  FeedBackEdit->hide();
  QWidget* const chapter = ChapterRefControl();
  if (v.ShowChapter == "1") {
    chapter->show();
    FeedBackEdit->hide();
    ListBox2->hide();
  } else {
    chapter->hide();
  }
  ListBox2->clear();
  if (v.ShowLinks != "1") return;
  const components::TWenEdit* const topics[] = {Topic1, Topic2, Topic3};
  for (int i = 0; i < 3; ++i) {
    if (topics[i]->text().isEmpty()) continue;
    // Each line keeps its topic: Goto uses that topic's help context and page.
    auto* line = new QListWidgetItem(topics[i]->text(), ListBox2);
    line->setData(Qt::UserRole, i + 1);
  }
  chapter->hide();
  FeedBackEdit->hide();
  if (ListBox2->count() > 0) {
    ListBox2->show();
    GoToBtn->show();
    ListBox2->setCurrentRow(0);
  } else {
    ListBox2->hide();
  }
}

int TQuestions::ListBox2Topic(int line) const {
  const QListWidgetItem* item = ListBox2->item(line);
  return item != nullptr ? item->data(Qt::UserRole).toInt() : 0;
}

void TQuestions::GoToBtnClick() { GoToSelectedTopic(); }

void TQuestions::ListBox2DblClick() { GoToSelectedTopic(); }

void TQuestions::GoToSelectedTopic() {
  const QList<QListWidgetItem*> selected = ListBox2->selectedItems();
  if (selected.isEmpty()) return;
  const int topic = ListBox2Topic(ListBox2->row(selected.front()));
  if (topic < 1 || topic > 3) return;
  const components::TWenEdit* const help[] = {top1help, top2help, top3help};
  const components::TWenEdit* const pages[] = {top1acropg, top2acropg, top3acropg};
  const TStartUpValues& v = Ctx().Values;
  platform::gui::Services& services = platform::gui::Services::Current();
  if (v.BookFormatValue == "Help" && !ListBox2->isHidden()) {
    const int32_t context = StrToInt(help[topic - 1]->text());
    const platform::gui::ServiceResult shown =
        services.ShowHelp(LaunchPath(v.AppDir + v.BookFile), context);
    if (!shown.ok) services.ShowMessage(shown.error, this);
  }
  if (v.BookFormatValue == "Acrobat") JumpToPage(QStringToAnsi(pages[topic - 1]->text()));
}

void TQuestions::JumpToPage(const std::string& page) {
  const TStartUpValues& v = Ctx().Values;
  const std::string book = v.AppDir + v.BookFile;
  // No keys without the viewer: they would reach whatever window is in front.
  if (LaunchFile(book, "", "", 5) <= 32) return;
  // The viewer's title carries the book's name as it was opened (found regardless of case).
  const std::string name = QStringToAnsi(QFileInfo(LaunchPath(book)).fileName());
  if (!SendKeys1->SendKeysTo("Acrobat Reader - [" + name + "]",
                             "\xFC"
                             "5\xFD")) {
    return;
  }
  // The page goes only into the viewer's Go To Page dialog, once that is up.
  QElapsedTimer waited;
  waited.start();
  while (SendKeys1->FindWindowByTitle("Go To Page") == 0) {
    if (waited.elapsed() >= kGoToPageWaitMs) return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QThread::msleep(20);
  }
  SendKeys1->SendKeysTo("Go To Page", page + "\r");
}

// ---- The clipboard

namespace {

// The HTML of `fragment` in `font` and `color` throughout: the form rich text is pasted in.
QString FragmentHtml(const QTextDocumentFragment& fragment, const QFont& font,
                     const QColor& color) {
  QTextDocument document;
  document.setDefaultFont(font);
  QTextCursor cursor(&document);
  cursor.insertFragment(fragment);
  cursor.select(QTextCursor::Document);
  QTextCharFormat format;
  format.setForeground(color);
  format.setFont(font, QTextCharFormat::FontPropertiesAll);
  cursor.mergeCharFormat(format);
  return document.toHtml();
}

}  // namespace

bool TQuestions::IsCopyKey(QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  return key->matches(QKeySequence::Copy) ||
         (key->key() == Qt::Key_C && key->modifiers() == Qt::ControlModifier);
}

bool TQuestions::RouteEditKey(QEvent* event, bool is_key, const std::function<void()>& handler) {
  if (!is_key) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    // The edit takes the key itself, so the menu's shortcut does not run a second time.
    event->accept();
  } else {
    platform::gui::RunGuarded(handler);
  }
  return true;
}

bool TQuestions::eventFilter(QObject* watched, QEvent* event) {
  if (RouteEditKey(event, IsCopyKey(event), [this] { Copy1Click(); })) return true;
  return QWidget::eventFilter(watched, event);
}

TRichEdit* TQuestions::FocusedEdit(std::initializer_list<TRichEdit*> edits) const {
  QWidget* const active = focusWidget();
  if (active == nullptr) return nullptr;
  for (TRichEdit* candidate : edits) {
    if (active == candidate || candidate->isAncestorOf(active)) return candidate;
  }
  return nullptr;
}

void TQuestions::Copy1Click() {
  TRichEdit* const edit =
      FocusedEdit({RichEdit1, RichEdit2, RichEdit3, RichEdit4, RichEdit5, RichEdit6});
  if (edit != nullptr) CopySelection(edit);
}

void TQuestions::CopySelection(TRichEdit* edit) {
  const QTextCursor cursor = edit->textCursor();
  if (!cursor.hasSelection()) return;
  QFont font = edit->font();
  QColor color = edit->palette().color(QPalette::Text);
  if (edit == RichEdit6) {
    // The question is copied in black regular type; on screen it stays white and bold.
    font.setBold(false);
    color = Qt::black;
  }
  const QTextDocumentFragment selection = cursor.selection();
  platform::gui::Services::Current().SetClipboardText(selection.toPlainText(),
                                                      FragmentHtml(selection, font, color));
}

void TQuestions::CopyQuestiontoClipboard1Click() {
  RichEdit7->clear();
  QTextCursor cursor(RichEdit7->document());
  QTextCharFormat black;
  black.setForeground(QColor(Qt::black));
  bool first = true;
  auto add = [&](const QString& text) {
    if (!first) cursor.insertBlock();
    first = false;
    cursor.insertText(text, black);
  };
  add(RichEdit6->toPlainText());
  add(RichEdit1->toPlainText());
  add(RichEdit2->toPlainText());
  for (const TRichEdit* edit : {RichEdit3, RichEdit4, RichEdit5}) {
    if (!edit->toPlainText().isEmpty()) add(edit->toPlainText());
  }
  if (!WenMemo6->Lines().empty()) add(WenMemo6->toPlainText());
  RichEdit7->selectAll();
  platform::gui::Services::Current().SetClipboardText(RichEdit7->toPlainText(),
                                                      RichEdit7->document()->toHtml());
}

// ---- Options

void TQuestions::OpenNotes1Click() {
  QWidget* const notes = Ctx().Notes;
  if (notes == nullptr) return;
  notes->show();
  notes->raise();
}

void TQuestions::StartOver1Click() {
  platform::gui::Services& services = platform::gui::Services::Current();
  // This program ends only once the new one runs; a failed start leaves the test going.
  const platform::gui::ServiceResult started = services.Restart();
  if (!started.ok) {
    services.ShowMessage(started.error, this);
    return;
  }
  services.Quit();
}

}  // namespace app
