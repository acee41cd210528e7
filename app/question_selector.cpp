#include "app/question_selector.h"

namespace app {

TQSelector::TQSelector() : FormActivation(this) { setObjectName("QSelector"); }

}  // namespace app
