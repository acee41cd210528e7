// The drill build's test controller: a draw that found no question ends the build at once.
#pragma once

#include "app/test_controller.h"

namespace drill {

class TControlForm : public app::TControlForm {
 protected:
  bool DrawEndedProgram() const override;
};

}  // namespace drill
