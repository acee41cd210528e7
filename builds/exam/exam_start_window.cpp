#include "builds/exam/exam_start_window.h"

namespace exam {

TStartUp::TStartUp() {}

}  // namespace exam
