// The practice-exam build's test controller: the test is as long as OnTest, and a draw that
// found no question ends the build at once.
#pragma once

#include "app/test_controller.h"

namespace exam {

class TControlForm : public app::TControlForm {
 protected:
  // The test length OnTest, which the draw has limited to what it delivered.
  int32_t BuildCount() override;
  bool DrawEndedProgram() const override;
};

}  // namespace exam
