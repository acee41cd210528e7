#include "app/exhibit_window.h"

namespace app {

TExhibitWnd::TExhibitWnd() : FormActivation(this) { setObjectName("ExhibitWnd"); }

}  // namespace app
