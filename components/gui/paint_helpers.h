// Pixel-exact drawing helpers shared by the painted controls.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>
#include <cstdint>

#include "platform/gui/text.h"

namespace components {

// A colour value as the controls hold it ($00BBGGRR or a system colour).
inline QColor C(uint32_t value) { return platform::gui::ColorFromBgr(value); }

// A one-pixel line along a row or a column (inclusive coordinates).
inline void Row(QPainter& p, int left, int right, int y, const QColor& color) {
  if (right >= left) p.fillRect(QRect(left, y, right - left + 1, 1), color);
}
inline void Column(QPainter& p, int x, int top, int bottom, const QColor& color) {
  if (bottom >= top) p.fillRect(QRect(x, top, 1, bottom - top + 1), color);
}

// One ring of a 3-D frame on r: the left column and top row in top, the right column and
// bottom row in bottom (which takes the top-right and bottom-left corners); r shrinks by 1.
inline void FrameRing(QPainter& p, QRect& r, const QColor& top, const QColor& bottom) {
  Column(p, r.left(), r.top(), r.bottom(), top);
  Row(p, r.left(), r.right() - 1, r.top(), top);
  Column(p, r.right(), r.top(), r.bottom(), bottom);
  Row(p, r.left(), r.right(), r.bottom(), bottom);
  r.adjust(1, 1, -1, -1);
}

}  // namespace components
