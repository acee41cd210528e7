#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/gui/application.h"

namespace platform::gui {
namespace {

TEST(QtPlatform, XDisplayNames) {
  struct Case {
    const char* display;
    bool available;
    const char* name;
  };
  const Case cases[] = {
      {nullptr, false, "unset"},
      {"", false, "empty"},
      {":", false, "no number"},
      {"wayland-0", false, "not an X display"},
      {":987654", false, "local display without a socket"},
      {":12x", false, "number with junk"},
      {"remote.example:0", true, "remote display is trusted"},
      {"remote.example:0.1", true, "remote display with screen"},
  };
  for (const Case& c : cases) EXPECT_EQ(XDisplayAvailable(c.display), c.available) << c.name;
}

TEST(QtPlatform, NoDisplayLeavesThePlatformUnset) {
  ::unsetenv("QT_QPA_PLATFORM");
  ::setenv("DISPLAY", ":987654", 1);
  PreferXcbWhenXDisplay();
  EXPECT_EQ(::getenv("QT_QPA_PLATFORM"), nullptr);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace
}  // namespace platform::gui
