#include "builds/drill/drill_start_window.h"

#include "app/app_context.h"
#include "app/artwork.h"
#include "app/question_window.h"
#include "platform/gui/text.h"

namespace drill {

using platform::gui::QStringToAnsi;

TStartUp::TStartUp() {
  Image1->hide();
  Image3 = new QLabel(GroupBox1);
  Image3->setObjectName("Image3");
  Image3->setGeometry(Image1->geometry());
  Image3->setPixmap(app::DrillBanner(Image3->size()));
}

void TStartUp::RereadKeys() {
  for (components::TVexaEdit* edit :
       {VexaEdit1, VexaEdit2, VexaEdit3, VexaEdit4, VexaEdit5, VexaShowLinks}) {
    edit->ReadINI();
  }
}

void TStartUp::StoreOptions() {
  app::TStartUpValues& v = app::Ctx().Values;
  v.BookFormatValue = QStringToAnsi(VexaEdit5->text());
  v.ShowChapter = QStringToAnsi(VexaEdit4->text());
  v.ShowLinks = QStringToAnsi(VexaShowLinks->text());
}

void TStartUp::BeforeTimeLabel() {
  app::TAppContext& ctx = app::Ctx();
  ctx.Questions->StatusBar1->SetSimpleText(
      QString("Time Remaining: %1 minutes").arg(ctx.Values.MinutesLeft));
}

}  // namespace drill
