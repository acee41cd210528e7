#include "app/objective_break.h"

namespace app {

TObjectiveBreak::TObjectiveBreak() : FormActivation(this) {
  setObjectName("ObjectiveBreak");
  for (size_t i = 0; i < ListBoxes.size(); ++i) {
    ListBoxes[i] = new QListWidget(this);
    ListBoxes[i]->setObjectName(QString("ListBox%1").arg(i + 1));
  }
}

}  // namespace app
