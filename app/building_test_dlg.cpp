#include "app/building_test_dlg.h"

#include "app/window_support.h"
#include "platform/gui/text.h"

namespace app {

TBuildingTestDlg::TBuildingTestDlg() : FormActivation(this) {
  setObjectName("BuildingTestDlg");
  // A dialog border without border icons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setWindowTitle("Please Wait");
  setFixedSize(289, 57);
  Label1 = new QLabel("Selecting a random set of questions from the", this);
  Label1->setGeometry(16, 12, 260, 16);
  Label2 = new QLabel("database.  This may take up to a minute.", this);
  Label2->setGeometry(16, 30, 260, 16);
}

void TBuildingTestDlg::FormCreate() { CentreOnScreen(this); }

}  // namespace app
