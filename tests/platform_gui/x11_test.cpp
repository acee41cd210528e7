// Tests that need a real X server: they run under the Xvfb fixture (suite names start with
// "X11").
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "platform/gui/application.h"
#include "platform/gui/text.h"
#include "tests/support/qt_test_main.h"

namespace platform::gui {
namespace {

TEST(X11Window, AShownWindowIsOnScreenAndItsScreenshotIsKept) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  QWidget window;
  window.setWindowTitle("Velkorin");
  window.setFixedSize(320, 160);
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, ColorFromBgr(0x00FFFF));
  window.setPalette(palette);
  window.setAutoFillBackground(true);
  QLabel label("Examination Score Report", &window);
  label.setFont(SansFont(12));
  label.move(16, 60);
  window.move(100, 80);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QCoreApplication::processEvents();

  QPixmap shot = window.screen()->grabWindow(window.winId());
  std::string path = testing_support::ArtefactDir() + "platform_gui_window.png";
  ASSERT_TRUE(shot.save(QString::fromStdString(path)));
  QImage image = shot.toImage();
  ASSERT_EQ(image.size(), QSize(320, 160));
  EXPECT_EQ(image.pixelColor(4, 4), QColor(255, 255, 0));
  // The label's text drew dark pixels on the yellow background.
  int dark = 0;
  for (int y = 60; y < 90; ++y)
    for (int x = 16; x < 300; ++x)
      if (image.pixelColor(x, y).lightness() < 100) ++dark;
  EXPECT_GT(dark, 50);
}

TEST(X11Platform, XcbIsChosenWhenAnXDisplayExistsUnlessThePlatformIsSet) {
  ASSERT_TRUE(XDisplayAvailable(::getenv("DISPLAY")));
  ::unsetenv("QT_QPA_PLATFORM");
  PreferXcbWhenXDisplay();
  EXPECT_STREQ(::getenv("QT_QPA_PLATFORM"), "xcb");
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  PreferXcbWhenXDisplay();
  EXPECT_STREQ(::getenv("QT_QPA_PLATFORM"), "offscreen");
}

}  // namespace
}  // namespace platform::gui
