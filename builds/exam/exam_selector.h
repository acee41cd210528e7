#pragma once

#include "app/question_selector.h"

namespace exam {

class TQSelector : public app::TQSelector {};

}  // namespace exam
