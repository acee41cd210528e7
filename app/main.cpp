// Velkorin, the study build: the main block.
#include "app/program_main.h"

int main(int argc, char** argv) {
  app::ProgramMain(argc, argv, [] { return std::make_unique<app::TAppContext>(); });
}
