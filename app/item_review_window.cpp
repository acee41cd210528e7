#include "app/item_review_window.h"

namespace app {

TItemReview::TItemReview() : FormActivation(this) {
  setObjectName("ItemReview");
  TimeLabel = new QLabel(this);
  TimeLabel->setObjectName("TimeLabel");
}

}  // namespace app
