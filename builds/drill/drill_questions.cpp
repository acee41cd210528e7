#include "builds/drill/drill_questions.h"

namespace drill {

TQuestions::TQuestions() {
  Drumel = new components::TWenCheckBox(ClientArea);
  Drumel->setObjectName("Drumel");
  Drumel->setText("Drumel");
  Drumel->SetValueChecked("true");
  Drumel->SetValueUnChecked("false");
  Drumel->SetDataSource(WenDbf1.get());
  Drumel->SetDataField("Drumel");
  Drumel->hide();
}

}  // namespace drill
