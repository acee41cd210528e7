#include "app/question_window.h"

namespace app {

TQuestions::TQuestions() : FormActivation(this) {
  setObjectName("Questions");
  WenDbf1 = std::make_unique<components::TWenDbf>();
  WenDbf1->SetName("WenDbf1");
  ShowRefsBtn = new QPushButton("References", this);
  ShowRefsBtn->setObjectName("ShowRefsBtn");
}

TQuestions::~TQuestions() = default;

}  // namespace app
