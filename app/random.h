// The program's one random generator: a 32-bit linear congruential generator whose state is
// Ctx().Test.Seed, seeded from the clock through the services (so tests script the seed).
#pragma once

#include <cstdint>

namespace app {

// Seeds the generator: Ctx().Test.Seed := Services::Current().RandomSeed().
void Randomize();

// Advances the seed (seed := seed * 134775813 + 1, modulo 2^32) and returns the upper 32 bits
// of the 64-bit product of `n` and the new seed: 0 to n - 1 for n >= 1, and 0 for n = 0.
// A range above 2^31 can give results that read negative; callers that can meet one count
// them as 0.
int32_t Random(uint32_t n);

}  // namespace app
