#include "app/objective_window.h"

namespace app {

TDisclaimer::TDisclaimer() : FormActivation(this) { setObjectName("Disclaimer"); }

}  // namespace app
