// The drill build's start window: no Write Scores option, the status line of the question
// window prepared with the time limit, and the drill's header picture.
#pragma once

#include <QLabel>

#include "app/start_window.h"

namespace drill {

class TStartUp : public app::TStartUp {
 public:
  TStartUp();

  // The drill's header picture, in the place of the study's banner (Image1, hidden).
  QLabel* Image3;

 protected:
  // The keys in the order Number of Questions, Time Limit, Passing Score, Show Chapter,
  // Format, Show Links; Write Scores (VexaEdit6) is not read.
  void RereadKeys() override;
  // The book format and the two reference options; the drill keeps no Write Scores value.
  void StoreOptions() override;
  // The question window's status line: "Time Remaining: <minutes> minutes".
  void BeforeTimeLabel() override;
};

}  // namespace drill
