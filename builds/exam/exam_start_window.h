// The practice-exam build's start window: it summarises the exam and leads to the confirmation.
#pragma once

#include "app/start_window.h"

namespace exam {

class TStartUp : public app::TStartUp {
 public:
  TStartUp();
};

}  // namespace exam
