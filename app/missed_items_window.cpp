#include "app/missed_items_window.h"

namespace app {

TMissedItemsWnd::TMissedItemsWnd() : FormActivation(this) { setObjectName("MissedItemsWnd"); }

}  // namespace app
