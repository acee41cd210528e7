// The question window: it shows one item of the test at a time from the question table, which
// its table component WenDbf1 holds open, stores what the user did on the item into the
// controller's per-question lists, and moves to another item: one step forward or back, to the
// item review after the last item, and through the marked or incomplete items one by one.
#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/test_list.h"
#include "app/window_support.h"
#include "components/core/wen_dbf.h"
#include "components/gui/rs_super_check.h"
#include "components/gui/send_keys.h"
#include "components/gui/wen_check_box.h"
#include "components/gui/wen_edit.h"
#include "components/gui/wen_memo.h"
#include "components/gui/wen_text.h"
#include "platform/gui/activation.h"

class QCloseEvent;

namespace app {

// A rich edit whose resize request fires when its document's size changes while the control
// keeps its width: a change of its content, not a relayout after the control itself was
// resized.
class TRichEdit : public QTextEdit {
 public:
  explicit TRichEdit(QWidget* parent = nullptr);

  std::function<void()> OnResizeRequest;

 private:
  void DocumentSizeChanged();

  int reported_width_ = -1;  // the width at the last change of the document's size
};

// Sets entry `index` of `list` to `text`: the text is inserted at `index` and the entry after
// it deleted. A list of exactly `index` entries gets the text appended; a shorter one raises
// the list's index error.
void SetEntry(TTestList& list, int32_t index, std::string text);

class TQuestions : public QWidget, public platform::gui::FormActivation {
 public:
  // Which answer layout is in force; the height of RichEdit1 shows it (41, 42 or 27).
  enum TAnswerLayout { alDesigned, alFourAnswers, alFiveAnswers };

  TQuestions();
  ~TQuestions() override;
  virtual void FormCreate();

  // Runs after every record move of WenDbf1. Until the window is first shown only the item's
  // state is kept (the answer layout, the check style and group, the number lists); the
  // controls follow at the first show and at every move after it.
  virtual void WenDbf1DataChange(components::TWenDataSource* sender, components::TWenField* field);
  // Puts the stored mark and answers of the current item back and sets the caption.
  void RestoreItemState();
  void WenMemo1Change();
  void Exit1Click();
  void ExhibitBtnClick();
  void RichEdit1ResizeRequest();
  void RichEdit2ResizeRequest();
  void RichEdit3ResizeRequest();
  void RichEdit4ResizeRequest();
  void RichEdit5ResizeRequest();
  virtual void RichEdit6ResizeRequest();

  // Stores the current item into the controller's lists as Next does (nothing when the item
  // lies beyond the test's length).
  void StoreCurrentItem();
  // The item's summary for the item review: see TControlForm::DisplayLine.
  std::string DisplayLine() const;
  virtual void NewNextBtnClick();
  virtual void newPrevBtnClick();
  virtual void ItemReviewBtnClick();
  virtual void NextMarkedBtnClick();
  virtual void PrevMarkedBtnClick();
  virtual void NextIncompleteBtnClick();
  virtual void PrevIncompleteBtnClick();
  // The countdown's one-minute tick: lowers MinutesLeft, writes the status line and the item
  // review's time label, and grades the test when the time is up.
  virtual void Timer1Timer();

  // The answers and references: the correct answers in yellow with the explanation, or the
  // chapter reference or the topic list as the test definition asks.
  virtual void ShowAnswersBtnClick();
  virtual void ShowRefsBtnClick();
  // Opens the book at the topic of the selected line of ListBox2: the help file at its
  // context, or the PDF book in its viewer, steered to the topic's page by keystrokes.
  virtual void GoToBtnClick();
  virtual void ListBox2DblClick();
  // Edit, Copy: the focused answer's or question's selection onto the clipboard; the question
  // goes in black regular type.
  virtual void Copy1Click();
  // Edit, Copy Question to Clipboard: the question, its answers and the explanation, one
  // paragraph each.
  virtual void CopyQuestiontoClipboard1Click();
  virtual void OpenNotes1Click();
  // Starts the program again and ends this one once the new one has started.
  virtual void StartOver1Click();
  // The topic (1 to 3) that line `line` of ListBox2 shows; 0 for no line.
  int ListBox2Topic(int line) const;

  // The status line: the record's select note, two blanks and the minutes left.
  virtual QString StatusText() const;
  // The control that shows the record's chapter in ReferenceBox: the routines that show and
  // hide the references reach it here, since a build may show the chapter in another control.
  virtual QWidget* ChapterRefControl() const { return ChapterRef; }
  TAnswerLayout AnswerLayout() const { return layout_; }
  // The background of a rich edit (its base colour).
  static void SetEditColor(QTextEdit* edit, const QColor& color);

  // The question table.
  std::unique_ptr<components::TWenDbf> WenDbf1;

  QMenuBar* MainMenu1;
  QMenu* File1;
  QAction* Exit1;
  QMenu* Edit1;
  QAction* Copy1;                     // Ctrl+C
  QAction* CopyQuestiontoClipboard1;  // Ctrl+B
  QMenu* Options1;
  QAction* OpenNotes1;
  QAction* StartOver1;
  // The client area below the menu: the controls' positions are relative to it.
  QWidget* ClientArea;

  QFrame* Panel1;
  QFrame* Panel3;
  QFrame* Shape1;
  TRichEdit* RichEdit6;  // the question
  components::TrsSuperCheck* rsSuperCheck1;
  components::TrsSuperCheck* rsSuperCheck2;
  components::TrsSuperCheck* rsSuperCheck3;
  components::TrsSuperCheck* rsSuperCheck4;
  components::TrsSuperCheck* rsSuperCheck5;
  TRichEdit* RichEdit1;  // answers A to E
  TRichEdit* RichEdit2;
  TRichEdit* RichEdit3;
  TRichEdit* RichEdit4;
  TRichEdit* RichEdit5;
  QCheckBox* MarkCheckBox;
  QPushButton* newPrevBtn;
  QPushButton* NewNextBtn;
  QPushButton* ExhibitBtn;
  QPushButton* ShowAnswersBtn;  // inside Panel1
  // Shows the item's references; visible when the test shows chapters or links. Inside
  // Panel1 for good: reparenting would hide it.
  QPushButton* ShowRefsBtn;
  QGroupBox* ReferenceBox;
  TRichEdit* FeedBackEdit;           // inside ReferenceBox
  components::TWenEdit* ChapterRef;  // inside ReferenceBox, the field chapter
  QListWidget* ListBox2;             // inside ReferenceBox
  QPushButton* GoToBtn;              // inside ReferenceBox
  // The status line.
  TStatusBar* StatusBar1;
  // The countdown, 60000 ms, running from the window's creation.
  QTimer* Timer1;

  // The walk through the marked and the incomplete items, and the way back to the item
  // review (hidden until the item review shows them).
  QPushButton* NextMarkedBtn;
  QPushButton* PrevMarkedBtn;
  QPushButton* NextIncompleteBtn;
  QPushButton* PrevIncompleteBtn;
  QPushButton* ItemReviewBtn;

  // The item numbers (one per line, decimal) that were incomplete or marked at the last record
  // move: ascending, and descending in the lists ending in P (hidden).
  QListWidget* incompleteList;
  QListWidget* markedList;
  QListWidget* incompleteListP;
  QListWidget* markedListP;

  // The record's fields (hidden), bound to WenDbf1.
  components::TWenMemo* QuestionMemo;
  components::TWenMemo* WenMemo1;  // answera ... answere
  components::TWenMemo* WenMemo2;
  components::TWenMemo* WenMemo3;
  components::TWenMemo* WenMemo4;
  components::TWenMemo* WenMemo5;
  components::TWenMemo* WenMemo6;          // feedback
  components::TWenCheckBox* WenCheckBox1;  // checka ... checke
  components::TWenCheckBox* WenCheckBox2;
  components::TWenCheckBox* WenCheckBox3;
  components::TWenCheckBox* WenCheckBox4;
  components::TWenCheckBox* WenCheckBox5;
  components::TWenText* WenSelectNote;
  // The record's objective (hidden), bound to the field objective of WenDbf1.
  components::TWenEdit* Objective;
  components::TWenEdit* ExhibitFile;
  components::TWenEdit* Topic1;
  components::TWenEdit* Topic2;
  components::TWenEdit* Topic3;
  components::TWenEdit* top1help;
  components::TWenEdit* top2help;
  components::TWenEdit* top3help;
  components::TWenEdit* top1acropg;
  components::TWenEdit* top2acropg;
  components::TWenEdit* top3acropg;
  // Hidden helpers: the clipboard text's assembly, and two record number entries.
  TRichEdit* RichEdit7;
  QLineEdit* RecNoEdit;
  QLineEdit* CurrRecEdit;
  // The key sender of the book jump; tests replace it with one on a recording backend.
  std::unique_ptr<components::TSendKeys> SendKeys1;

  // How long the book jump waits for the viewer's Go To Page window after Ctrl+5.
  static constexpr int kGoToPageWaitMs = 5000;

 protected:
  void FormShow() override;
  void FormActivate() override;
  virtual void FormClose();
  void closeEvent(QCloseEvent* event) override;
  // The rich edits' own copy keys run Copy1Click, so every copy reaches the clipboard the same
  // way.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Takes a key of an edit for `handler` when `is_key`: the edit takes the shortcut over from
  // the menu, so that the menu's action does not run too, and `handler` runs on the key press.
  // True when the event was taken.
  static bool RouteEditKey(QEvent* event, bool is_key, const std::function<void()>& handler);
  static bool IsCopyKey(QEvent* event);

  // Steps of the record moves and the handlers, shared with the builds' own versions.
  // True once the window has been shown: the controls follow the record moves from then on.
  bool ShownOnce() const { return shown_once_; }
  // The controls' part of the first show (the item's state is kept before it).
  virtual void ShowItem();
  // Hides ChapterRef, FeedBackEdit, ListBox2 and GoToBtn.
  void HideReferences();
  // The record's answers into RichEdit1 ... RichEdit5 and its question into RichEdit6, as plain
  // text.
  void ShowTexts();
  // RichEdit6 back to its width after a resize request.
  void FitQuestionWidth();
  // RichEdit1 ... RichEdit5 back to their width after a resize request.
  void FitAnswerWidths();
  // The item's state after a record move, from the focus on answer A on: the boxes cleared,
  // their style and group from the record's correct flags, the third to fifth boxes shown by
  // their answers, the number lists rebuilt, the stored mark and answers back, the repaint.
  // Before the first show only the style and group and the number lists are kept.
  void ShowItemState();
  // The controls' part of ShowItemState at the first show, from the state kept before it.
  void ShowItemStateFirst();
  // The focus on answer A and the five answer boxes unchecked.
  void ClearAnswerBoxes();
  // ExhibitBtn enabled when the record names an exhibit.
  void EnableExhibit();
  // Next's test for the end of the test: the last item was stored on this Next.
  bool LastItemStored();
  // Next's move: to the next item when there is one, its stored mark and answers, the caption.
  void StepToNextItem();
  // True when a tick counts: a test is running and the timer was not switched off.
  bool TickCounts() const;
  // A tick's lowering of MinutesLeft and its displays: the status line (`prefix` before the
  // time) and the item review's time label.
  void TickDisplays(const QString& prefix);
  // The edit among `edits` that holds the focus; nullptr for none.
  TRichEdit* FocusedEdit(std::initializer_list<TRichEdit*> edits) const;
  // Copies `edit`'s selection onto the clipboard, plain and as rich text in the edit's font and
  // colour; the question (RichEdit6) goes in black regular type. Nothing without a selection.
  void CopySelection(TRichEdit* edit);

 public:
  // The test's length: the controller's OnTest as a whole number, read at each use.
  int32_t TestLength() const;
  // The letters of the ticked answer boxes, "A" to "E" in order.
  std::string TickedLetters() const;
  // The answer boxes ticked from stored letters (blanks around them ignored).
  void TickFromAnswers(const std::string& answers);
  // Go to item `item`'s record.
  void GoToItem(int32_t item);
  void SetItemCaption(int32_t length);
  // The lists of marked and incomplete item numbers, ascending and descending, from the
  // test's stored lists.
  void RebuildNumberLists();

 private:
  // The parts of WenDbf1DataChange.
  void ChooseAnswerLayout();
  void ApplyAnswerLayout();
  void ShowRecord();
  void SetCheckStyles();
  // The style and group of the five boxes: kept, and put on the boxes once they are shown.
  void SetBoxStyle(components::TrsCheckModel::TCheckStyle style, int16_t group);
  void ApplyBoxStyle();
  void ShowAnswerBoxes();
  void Repaint();
  // The steps of GoToBtnClick and ListBox2DblClick.
  void GoToSelectedTopic();
  // Opens the PDF book and types the viewer's Go To Page keys with `page` (ANSI).
  void JumpToPage(const std::string& page);
  // The walk: the list searched, the buttons, and whether the extra of Previous Marked applies.
  void Walk(QListWidget* list, QPushButton* opposite, QPushButton* own, bool prev_marked);
  // What the walk stores before it moves.
  void StoreForWalk();

  components::TrsSuperCheck* Box(int index) const;  // 0 ... 4
  TRichEdit* AnswerEdit(int index) const;           // 0 ... 4

  TAnswerLayout layout_ = alDesigned;
  // The boxes' style and group that the last record with a correct flag (or the walk) chose;
  // none before the first.
  std::optional<std::pair<components::TrsCheckModel::TCheckStyle, int16_t>> box_style_;
  bool shown_once_ = false;  // the controls follow the record moves
};

}  // namespace app
