// The practice-exam build's item review window: the study's review over items 1 to the test's
// length, with its own print button and heading and its own button places. Its frame can be
// closed: a close shows the question window again as it was. Review Item and a double click
// return to the item without putting Next and Previous back.
#pragma once

#include <QCloseEvent>
#include <QPushButton>

#include "app/item_review_window.h"

namespace exam {

// The printout's first line.
inline constexpr char kReviewPrintoutHeading[] = "Oskavane Item Review Printout";

class TItemReview : public app::TItemReview {
 public:
  TItemReview();

  // Item `n` on the question window with its stored state; only the walk buttons are hidden,
  // and the button row is left as it was.
  void ShowReviewedItem(int32_t n) override;
  // Print: the rows in letters under the exam's heading.
  void PrintBtnClick();
  // Any close of the window: the question window shown again as it was.
  void FormClose() override;

  QPushButton* PrintBtn;

 protected:
  int32_t RowCount() const override;
  // Every close runs FormClose, the frame's as well as our own.
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace exam
