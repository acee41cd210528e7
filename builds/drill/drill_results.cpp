#include "builds/drill/drill_results.h"

namespace drill {

TResults::TResults() { ShowMeWhatIMissedBtn->hide(); }

}  // namespace drill
