// The main block every build shares: the engine and class layer started, the application
// object made, the build's context made after it with the arguments the application object
// leaves, the windows created, the splash shown and the event loop run. The program ends
// through the halt routine, so the exit procedures run at a normal end too.
#pragma once

#include <functional>
#include <memory>

#include "app/app_context.h"

namespace app {

// Makes a fresh context of the build (its own TAppContext class).
using TContextFactory = std::function<std::unique_ptr<TAppContext>()>;

// Makes the build's context once the application object exists: Arguments are the program's
// arguments after the application object has taken its own options (-platform, -style, ...),
// without the program's name; then the windows are created in the build's order.
std::unique_ptr<TAppContext> MakeProgramContext(const TContextFactory& make_context);

// The whole program: never returns; its exit status is the event loop's.
[[noreturn]] void ProgramMain(int argc, char** argv, const TContextFactory& make_context);

}  // namespace app
