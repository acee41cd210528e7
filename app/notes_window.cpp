#include "app/notes_window.h"

namespace app {

TNotes::TNotes() : FormActivation(this) { setObjectName("Notes"); }

}  // namespace app
