// What the windows of every build share: the close event that runs a window's FormClose
// handler (and, for a window without a close box, refuses a close our code did not ask for),
// the refusal of Escape in a dialog without a cancel button, the one wait-cursor state,
// the place of a window that centres itself, the conversion of an entry to a whole number, and
// the status bar with one simple panel.
#pragma once

#include <QCloseEvent>
#include <QLabel>
#include <QPoint>
#include <QSize>
#include <QStatusBar>
#include <QString>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/gui/guarded.h"

class QKeyEvent;
class QWidget;

namespace app {

// Where a window that centres itself goes: the window's top-left corner relative to the
// screen's, each half of the difference taken to the nearest whole number with halves to the
// even neighbour, 11 pixels above the vertical centre. A screen of 1024x768 and a window of
// 635x457 give (194, 145).
QPoint CentredPosition(const QSize& screen, const QSize& window);

// Moves `window` there, from the size Qt knows now, against the geometry of its screen (or the
// primary screen).
void CentreOnScreen(QWidget* window);

// The close event of a window: runs `form_close` guarded. A handler that returns bool decides
// whether the window closes (false refuses the close); one that returns nothing always lets it
// close.
template <typename FormClose>
void HandleCloseEvent(QCloseEvent* event, FormClose&& form_close) {
  bool close = true;
  if constexpr (std::is_same_v<std::invoke_result_t<FormClose&>, bool>) {
    platform::gui::RunGuarded([&] { close = form_close(); });
  } else {
    platform::gui::RunGuarded([&] { form_close(); });
  }
  if (close) {
    event->accept();
  } else {
    event->ignore();
  }
}

// Closes `window` as our own code does: while the close runs, OwnCloseRunning(window) is true,
// so a window without a close box lets it through (HandleOwnCloseEvent). Returns what
// QWidget::close returns.
bool CloseWindow(QWidget* window);
// True while CloseWindow is closing `window`.
bool OwnCloseRunning(const QWidget* window);

// The close event of a window without a close box: a close that CloseWindow did not ask for
// (the window manager's, or a plain QWidget::close) is refused and runs nothing; our own close
// runs `form_close` as HandleCloseEvent does.
template <typename FormClose>
void HandleOwnCloseEvent(QCloseEvent* event, const QWidget* window, FormClose&& form_close) {
  if (!OwnCloseRunning(window)) {
    event->ignore();
    return;
  }
  HandleCloseEvent(event, std::forward<FormClose>(form_close));
}

// True for the Escape key, which a dialog without a cancel button must not take as a
// rejection: its keyPressEvent returns at once then, before the dialog's own handling.
bool RefuseEscape(QKeyEvent* event);

// The wait cursor over the whole program (the screen's hourglass). Setting it while it is set
// changes nothing; one Restore puts the normal cursor back, whatever number of Sets came before.
class THourglass {
 public:
  static void Set();
  static void Restore();
  static bool IsSet();
};

// The text of an entry or a key as a whole number (an optional sign and decimal digits, blanks
// around them allowed, within 32 bits). Anything else throws std::invalid_argument with the
// message "'<text>' is not a valid integer value", which a guarded handler shows.
int32_t StrToInt(const QString& text);
int32_t StrToInt(const std::string& ansi);

// A status bar of one simple panel: a permanent label over the bar's whole width.
class TStatusBar : public QStatusBar {
 public:
  explicit TStatusBar(QWidget* parent = nullptr);

  QString SimpleText() const { return panel_->text(); }
  void SetSimpleText(const QString& text) { panel_->setText(text); }

 private:
  QLabel* panel_;
};

}  // namespace app
