#include "engine/dates.h"

#include "platform/core/language.h"

namespace engine {

uint8_t CountryIndex = 0;

void InitDates() {
  CountryIndex =
      static_cast<uint8_t>(platform::CountryIndexFromLanguage(platform::UserLanguage()));
}

}  // namespace engine
