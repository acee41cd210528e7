#include "app/window_support.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QRect>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "app/test_discovery.h"
#include "platform/gui/text.h"

namespace app {
namespace {

// d / 2 to the nearest whole number, halves to the even neighbour.
int HalfToEven(int d) {
  const int floor_half = d >= 0 ? d / 2 : -((-d + 1) / 2);
  if (d % 2 == 0) return floor_half;
  return floor_half % 2 == 0 ? floor_half : floor_half + 1;
}

bool g_hourglass = false;

// The windows CloseWindow is closing now, innermost last (a close handler may close another).
std::vector<const QWidget*> g_own_closes;

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

bool CloseWindow(QWidget* window) {
  g_own_closes.push_back(window);
  struct Done {
    ~Done() { g_own_closes.pop_back(); }
  } done;
  return window->close();
}

bool OwnCloseRunning(const QWidget* window) {
  return std::find(g_own_closes.begin(), g_own_closes.end(), window) != g_own_closes.end();
}

bool RefuseEscape(QKeyEvent* event) {
  return event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier;
}

void THourglass::Set() {
  if (g_hourglass) return;
  g_hourglass = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void THourglass::Restore() {
  if (!g_hourglass) return;
  g_hourglass = false;
  QApplication::restoreOverrideCursor();
}

bool THourglass::IsSet() { return g_hourglass; }

int32_t StrToInt(const std::string& ansi) {
  const std::optional<int> value = WholeNumber(ansi);
  if (!value) throw std::invalid_argument("'" + ansi + "' is not a valid integer value");
  return *value;
}

int32_t StrToInt(const QString& text) { return StrToInt(platform::gui::QStringToAnsi(text)); }

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  panel_ = new QLabel(this);
  panel_->setObjectName("SimplePanel");
  addPermanentWidget(panel_, 1);
}

}  // namespace app
