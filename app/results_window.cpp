#include "app/results_window.h"

namespace app {

TResults::TResults() : FormActivation(this) { setObjectName("Results"); }

}  // namespace app
