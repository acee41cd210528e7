#include "app/random.h"

#include "app/app_context.h"
#include "platform/gui/services.h"

namespace app {

void Randomize() { Ctx().Test.Seed = platform::gui::Services::Current().RandomSeed(); }

int32_t Random(uint32_t n) {
  uint32_t& seed = Ctx().Test.Seed;
  seed = seed * 134775813u + 1u;
  return static_cast<int32_t>(static_cast<uint32_t>((uint64_t{n} * seed) >> 32));
}

}  // namespace app
