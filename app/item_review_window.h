// The item review window: every item of the test in one row (its number, a glyph when marked,
// a glyph when incomplete, its answer letters and its display line), the legend of the glyphs,
// the print of the list, and the time remaining. The window has no close box: only our own
// code closes it.
#pragma once

#include <QCloseEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "app/item_review_rows.h"
#include "components/gui/rs_list_box.h"
#include "platform/gui/activation.h"

namespace app {

class TItemReview : public QWidget, public platform::gui::FormActivation {
 public:
  TItemReview();
  // Runs once, after every window of the program was constructed before it.
  virtual void FormCreate();

  // The rows of the list as they stand, with their markup ends.
  std::vector<TReviewRow> Rows() const;

  // Review Marked: the question window walks through the marked items, from the first.
  virtual void Button1Click();
  // Review Incomplete: the question window walks through the incomplete items, from the
  // first.
  virtual void Button2Click();
  // Grade Now.
  virtual void Button3Click();
  // Review Item: the item whose number Edit1 holds, on the question window. An empty text or
  // a number outside 1 ... the test's length is refused with a box, Edit1 focused and its
  // text selected; a text that is not a whole number raises the conversion error.
  virtual void Button4Click();
  // Print: the rows in letters under the printout's heading, one job titled "Item Review".
  virtual void Button5Click();
  // The selected row's item on the question window; nothing when no row is selected.
  virtual void rsListBox1DblClick();
  // The list's click does nothing.
  virtual void rsListBox1Click() {}
  // Item `n` (1 ... the test's length) on the question window, with the next and previous
  // buttons in place of the walks; the review closes.
  virtual void ShowReviewedItem(int32_t n);
  // Our own close: hides the window and runs FormClose.
  virtual void FormClose();

  // The glyph bitmaps of the list: 1 marked, 2 incomplete, 3 the blank place of either.
  static QImage ReviewGlyph(int slot);

  components::TrsListBox* rsListBox1;
  // The time remaining, shown while the test runs.
  QLabel* TimeLabel;
  QLabel* Image1;
  QLabel* Label1;
  QLabel* Image2;
  QLabel* Label2;
  QPushButton* Button1;  // Review Marked
  QPushButton* Button2;  // Review Incomplete
  QPushButton* Button3;  // Grade Now
  QPushButton* Button5;  // Print
  QPushButton* Button4;  // Review Item
  QLineEdit* Edit1;      // the question number for Review Item
  QTextEdit* RichEdit1;  // hidden: the text that is printed

 protected:
  // The question window's number lists rebuilt from the test's lists, the walk buttons enabled
  // from them, the way back to the review shown on the question window, and the rows rebuilt.
  void FormShow() override;
  // The question window is in review from here on.
  void FormActivate() override;
  // Refuses a close that our own code did not ask for: the frame has no close box.
  void closeEvent(QCloseEvent* event) override;

  // The number of rows the show lists: items 1 to the test's question count.
  virtual int32_t RowCount() const;
  // Item `n` on the question window with its stored mark and answers, its boxes' style and
  // group from its correct answers, box E by its answer, and the caption; the window is not
  // shown yet.
  void ShowItemState(int32_t n);
  // Prints the rows in letters under `heading` and an empty line, one job titled "Item
  // Review"; a failed print throws its error.
  void PrintRows(const char* heading);
};

}  // namespace app
