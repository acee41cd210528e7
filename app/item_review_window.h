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

  // Print: the rows in letters under the printout's heading, one job titled "Item Review".
  virtual void Button5Click();
  // The list's click does nothing.
  virtual void rsListBox1Click() {}
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
  // The rows rebuilt from the test's lists.
  void FormShow() override;
  // The question window is in review from here on.
  void FormActivate() override;
  // Refuses a close that our own code did not ask for: the frame has no close box.
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace app
