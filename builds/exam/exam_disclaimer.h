// The practice-exam build's confirmation window: the test name, the disclaimer and the start of
// the exam.
#pragma once

#include "app/disclaimer_base.h"

namespace exam {

class TDisclaimer : public app::TDisclaimerBase {
 public:
  TDisclaimer();
  void FormCreate() override;
};

}  // namespace exam
