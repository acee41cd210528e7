// The window fixture on the practice-exam build: its context and its program Oskavane.
#pragma once

#include <memory>
#include <string>

#include "builds/exam/exam_context.h"
#include "tests/app/app_fixture.h"

namespace testing_support {

class ExamTest : public AppTest {
 protected:
  std::unique_ptr<app::TAppContext> MakeContext() override {
    return std::make_unique<exam::TExamContext>();
  }
  std::string ProgramName() const override { return "Oskavane"; }

  exam::TExamContext& exam_context() { return static_cast<exam::TExamContext&>(*context_); }
};

}  // namespace testing_support
