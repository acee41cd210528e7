// The window fixture on the drill build: its context and its program Drumelle.
#pragma once

#include <memory>
#include <string>

#include "builds/drill/drill_context.h"
#include "tests/app/app_fixture.h"

namespace testing_support {

class DrillTest : public AppTest {
 protected:
  std::unique_ptr<app::TAppContext> MakeContext() override {
    return std::make_unique<drill::TDrillContext>();
  }
  std::string ProgramName() const override { return "Drumelle"; }

  drill::TDrillContext& drill_context() { return static_cast<drill::TDrillContext&>(*context_); }
};

}  // namespace testing_support
