// Starting and resetting the engine as a whole.
#pragma once

namespace engine {

// Initialises every engine module in unit order (start values, hook slots, exit procedures).
// Calling it again re-initialises.
void StartEngine();

// Closes everything that is open and restores every start value, as at program start
// (the test fixtures' reset).
void ResetEngine();

}  // namespace engine
