#include "platform/core/locale_settings.h"

namespace platform {

LocaleSettings& Locale() {
  static LocaleSettings settings;
  return settings;
}

void ResetLocaleSettings() { Locale() = LocaleSettings{}; }

}  // namespace platform
