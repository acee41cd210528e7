// Where a window that centres itself goes: the middle of the screen, 11 pixels above the
// vertical centre, each half taken to the nearest whole number with halves to the even
// neighbour.
#pragma once

#include <QPoint>
#include <QSize>

class QWidget;

namespace app {

// The window's top-left corner relative to the screen's top-left corner. A screen of 1024x768
// and a window of 635x457 give (194, 145).
QPoint CentredPosition(const QSize& screen, const QSize& window);

// Moves `window` there, from the size Qt knows now, against the geometry of its screen (or the
// primary screen).
void CentreOnScreen(QWidget* window);

}  // namespace app
