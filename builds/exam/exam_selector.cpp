#include "builds/exam/exam_selector.h"

namespace exam {}  // namespace exam
