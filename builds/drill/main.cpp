// Drumelle, the drill build: the main block.
#include "app/program_main.h"
#include "builds/drill/drill_context.h"

int main(int argc, char** argv) {
  app::ProgramMain(argc, argv, [] { return std::make_unique<drill::TDrillContext>(); });
}
