#include "app/question_window.h"

namespace app {

TQuestions::TQuestions() : FormActivation(this) {
  setObjectName("Questions");
  WenDbf1 = std::make_unique<components::TWenDbf>();
  WenDbf1->SetName("WenDbf1");
  ShowRefsBtn = new QPushButton("References", this);
  ShowRefsBtn->setObjectName("ShowRefsBtn");
  Objective = new components::TWenEdit(this);
  Objective->setObjectName("Objective");
  Objective->SetDataSource(WenDbf1.get());
  Objective->SetDataField("objective");
  Objective->hide();
  StatusBar1 = new TStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
}

TQuestions::~TQuestions() = default;

}  // namespace app
