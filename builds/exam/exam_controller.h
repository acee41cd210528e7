#pragma once

#include "app/test_controller.h"

namespace exam {

class TControlForm : public app::TControlForm {};

}  // namespace exam
