// The meter, offscreen: the percentage held to 0 ... 100, and the bar, its edge and the number
// probed on grabbed pixels.
#include "components/gui/ovc_meter.h"

#include <gtest/gtest.h>

#include <QImage>

#include "platform/gui/text.h"

namespace components {
namespace {

TEST(OvcMeterTest, PercentIsHeldToTheScale) {
  TOvcMeter meter;
  const struct { int set, held; } cases[] = {{70, 70}, {120, 100}, {100, 100}, {-5, 0}, {0, 0}};
  for (const auto& c : cases) {
    meter.SetPercent(c.set);
    EXPECT_EQ(meter.Percent(), c.held) << c.set;
  }
}

TEST(OvcMeterTest, TheBarIsFilledToThePercentageAndEdgedWithTheShadow) {
  TOvcMeter meter;
  meter.resize(497, 24);
  meter.setFont(platform::gui::SansFontPixels(11));
  meter.SetUsedColor(0x808040);    // $BBGGRR: red 0x40, green 0x80, blue 0x80
  meter.SetShadowColor(0x400040);  // red 0x40, blue 0x40
  meter.SetUnusedColor(0xFFFFFF);
  meter.SetPercent(70);
  const QImage shot = meter.grab().toImage();
  const int y = 6;  // above the number
  EXPECT_EQ(shot.pixelColor(497 * 60 / 100, y), QColor(0x40, 0x80, 0x80)) << "inside the bar";
  EXPECT_EQ(shot.pixelColor(497 * 80 / 100, y), QColor(255, 255, 255)) << "past the bar";
  // Inside the one-pixel frame the bar spans 495 pixels: 347 filled, its last column the edge.
  EXPECT_EQ(TOvcMeter::FilledWidth(495, 70), 347);
  EXPECT_EQ(shot.pixelColor(1 + 346, y), QColor(0x40, 0x00, 0x40)) << "the bar's right edge";
  EXPECT_EQ(shot.pixelColor(1 + 347, y), QColor(255, 255, 255));
  EXPECT_EQ(shot.pixelColor(100, 1), QColor(0x40, 0x00, 0x40)) << "the bar's top edge";

  // The number stands in the middle, over the bar: the centre row holds other pixels there.
  int text = 0;
  for (int x = 200; x < 300; ++x) text += shot.pixelColor(x, 12) != QColor(0x40, 0x80, 0x80);
  EXPECT_GT(text, 5);

  meter.SetShowPercent(false);
  const QImage plain = meter.grab().toImage();
  for (int x = 200; x < 300; ++x)
    ASSERT_EQ(plain.pixelColor(x, 12), QColor(0x40, 0x80, 0x80)) << "no number: " << x;
  meter.SetPercent(0);
  EXPECT_EQ(meter.grab().toImage().pixelColor(3, y), QColor(255, 255, 255)) << "an empty bar";
}

}  // namespace
}  // namespace components
