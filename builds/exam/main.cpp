// Oskavane, the practice-exam build: the main block.
#include "app/program_main.h"
#include "builds/exam/exam_context.h"

int main(int argc, char** argv) {
  app::ProgramMain(argc, argv, [] { return std::make_unique<exam::TExamContext>(); });
}
