#include "builds/exam/exam_controller.h"

namespace exam {}  // namespace exam
