#include "builds/exam/exam_item_review.h"

namespace exam {}  // namespace exam
