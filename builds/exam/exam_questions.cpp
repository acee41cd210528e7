#include "builds/exam/exam_questions.h"

namespace exam {

TQuestions::TQuestions() {
  Label1 = new QLabel(ClientArea);
  Label1->setObjectName("Label1");
  Label1->setGeometry(435, 5, 185, 13);
  Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont bold = Label1->font();
  bold.setBold(true);
  Label1->setFont(bold);
}

}  // namespace exam
