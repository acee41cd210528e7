#include "builds/exam/exam_results.h"

namespace exam {}  // namespace exam
