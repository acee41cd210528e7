#include "components/gui/ovc_meter.h"

#include <QPainter>
#include <algorithm>

#include "components/gui/paint_helpers.h"

namespace components {
namespace {

constexpr TOvcMeter::TColor kClBtnShadow = 0x80000010;
constexpr TOvcMeter::TColor kClBtnHighlight = 0x80000014;
constexpr TOvcMeter::TColor kClWindowText = 0x80000008;
constexpr TOvcMeter::TColor kClHighlightText = 0x8000000E;

}  // namespace

TOvcMeter::TOvcMeter(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(100, 16);
}

void TOvcMeter::SetPercent(int value) {
  value = std::clamp(value, 0, 100);
  if (value == percent_) return;
  percent_ = value;
  update();
}

void TOvcMeter::SetUsedColor(TColor value) {
  used_color_ = value;
  update();
}

void TOvcMeter::SetUnusedColor(TColor value) {
  unused_color_ = value;
  update();
}

void TOvcMeter::SetShadowColor(TColor value) {
  shadow_color_ = value;
  update();
}

void TOvcMeter::SetShowPercent(bool value) {
  show_percent_ = value;
  update();
}

int TOvcMeter::FilledWidth(int inner, int percent) {
  if (inner <= 0) return 0;
  return (inner * std::clamp(percent, 0, 100) + 50) / 100;
}

void TOvcMeter::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QRect r = rect();
  // A sunken one-pixel frame, then the bar inside it.
  FrameRing(p, r, C(kClBtnShadow), C(kClBtnHighlight));
  p.fillRect(r, C(unused_color_));
  const int filled = FilledWidth(r.width(), percent_);
  QRect bar;
  if (filled > 0) {
    bar = QRect(r.left(), r.top(), filled, r.height());
    p.fillRect(bar, C(used_color_));
    // The edge: the bar's outline in the shadow colour.
    QRect edge = bar;
    const QColor shadow = C(shadow_color_);
    FrameRing(p, edge, shadow, shadow);
  }
  if (!show_percent_) return;
  // The number in the window text over the unused part and in the highlight text over the bar.
  const QString text = QString::number(percent_) + '%';
  p.setFont(font());
  p.setClipRect(r);
  p.setPen(C(kClWindowText));
  p.drawText(r, Qt::AlignCenter, text);
  if (!bar.isEmpty()) {
    p.setClipRect(bar);
    p.setPen(C(kClHighlightText));
    p.drawText(r, Qt::AlignCenter, text);
  }
}

}  // namespace components
