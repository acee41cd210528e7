#include "app/centring.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace app {
namespace {

// d / 2 to the nearest whole number, halves to the even neighbour.
int HalfToEven(int d) {
  const int floor_half = d >= 0 ? d / 2 : -((-d + 1) / 2);
  if (d % 2 == 0) return floor_half;
  return floor_half % 2 == 0 ? floor_half : floor_half + 1;
}

}  // namespace

QPoint CentredPosition(const QSize& screen, const QSize& window) {
  return {HalfToEven(screen.width() - window.width()),
          HalfToEven(screen.height() - window.height()) - 11};
}

void CentreOnScreen(QWidget* window) {
  QScreen* screen = window->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  window->move(area.topLeft() + CentredPosition(area.size(), window->size()));
}

}  // namespace app
