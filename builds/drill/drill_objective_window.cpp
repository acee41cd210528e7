#include "builds/drill/drill_objective_window.h"

#include "app/app_context.h"
#include "app/artwork.h"
#include "app/start_window.h"

namespace drill {

TDisclaimer::TDisclaimer() {
  NumberOfQuestions->clear();
  Image1->hide();
  Image3 = new QLabel(this);
  Image3->setObjectName("Image3");
  Image3->setGeometry(Image1->geometry());
  Image3->setPixmap(app::DrillBanner(Image3->size()));
}

void TDisclaimer::ReadOptions() {
  app::TDisclaimer::ReadOptions();
  NumberOfQuestions->setText(app::Ctx().StartUp->VexaEdit1->text());
}

}  // namespace drill
