// The practice-exam build's item review window.
#pragma once

#include "app/item_review_window.h"

namespace exam {

class TItemReview : public app::TItemReview {};

}  // namespace exam
