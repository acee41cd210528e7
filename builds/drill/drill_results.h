// The drill build's results window: without "Show Me What I Missed", since the drill has no
// missed-questions window.
#pragma once

#include "app/results_window.h"

namespace drill {

class TResults : public app::TResults {
 public:
  TResults();
};

}  // namespace drill
