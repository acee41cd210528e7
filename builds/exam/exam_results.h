#pragma once

#include "app/results_window.h"

namespace exam {

class TResults : public app::TResults {};

}  // namespace exam
