#include "components/gui/rs_super_check.h"

#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "components/gui/paint_helpers.h"
#include "platform/gui/guarded.h"
#include "platform/gui/text.h"

namespace components {

namespace {

using platform::gui::AnsiToQString;

constexpr TrsCheckModel::TColor kClWindowText = 0x80000008;
constexpr TrsCheckModel::TColor kClBtnFace = 0x8000000F;
constexpr TrsCheckModel::TColor kClBtnShadow = 0x80000010;
constexpr TrsCheckModel::TColor kClGrayText = 0x80000011;
constexpr TrsCheckModel::TColor kClBtnHighlight = 0x80000014;

// A round ring in r: the upper-left half (from the point halfway between top and right,
// counter-clockwise to the point halfway between left and bottom) in upper, the rest in lower.
void RoundRing(QPainter& p, const QRect& r, const QColor& upper, const QColor& lower) {
  const QRect outline(r.left(), r.top(), r.width() - 1, r.height() - 1);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(upper, 1));
  p.drawArc(outline, 45 * 16, 180 * 16);
  p.setPen(QPen(lower, 1));
  p.drawArc(outline, 225 * 16, 180 * 16);
}

}  // namespace

TrsSuperCheck::TrsSuperCheck(QWidget* parent)
    : QWidget(parent), color_(kClBtnFace), font_color_(kClWindowText) {
  setFocusPolicy(Qt::TabFocus);
  resize(97, 15);
}

TrsSuperCheck::~TrsSuperCheck() = default;

void TrsSuperCheck::SetCaption(const std::string& value) {
  caption_ = value;
  GrabAccelerator();
  Repaint();
}

void TrsSuperCheck::SetColor(TColor value) {
  color_ = value;
  Repaint();
}

void TrsSuperCheck::SetFontColor(TColor value) {
  font_color_ = value;
  Repaint();
}

void TrsSuperCheck::SetTabStop(bool value) { setFocusPolicy(value ? Qt::TabFocus : Qt::NoFocus); }

std::vector<TrsCheckModel*> TrsSuperCheck::GroupSiblings() {
  std::vector<TrsCheckModel*> out;
  if (!parentWidget()) return out;
  for (QObject* child : parentWidget()->children()) {
    if (auto* check = dynamic_cast<TrsSuperCheck*>(child)) out.push_back(check);
  }
  return out;
}

void TrsSuperCheck::Fire(const TNotifyEvent& event) {
  if (event) platform::gui::RunGuarded([&] { event(this); });
}

void TrsSuperCheck::Changed() { Fire(OnChange); }

void TrsSuperCheck::Repaint() {
  ApplyAutoSize();
  update();
}

QSize TrsSuperCheck::CaptionSize() const {
  const QFontMetrics fm(font());
  const TAccelCaption c = StripAccelerator(caption_);
  return QSize(fm.horizontalAdvance(AnsiToQString(c.Text)), fm.height());
}

TrsCheckModel::TCheckLayout TrsSuperCheck::CurrentLayout() {
  const QSize text = CaptionSize();
  return Layout(width(), height(), text.width(), text.height(), !caption_.empty());
}

void TrsSuperCheck::ApplyAutoSize() {
  const TCheckLayout l = CurrentLayout();
  if (l.Width != width() || l.Height != height()) resize(l.Width, l.Height);
}

void TrsSuperCheck::GrabAccelerator() {
  if (shortcut_id_ != 0) releaseShortcut(shortcut_id_);
  shortcut_id_ = 0;
  const QKeySequence key = QKeySequence::mnemonic(AnsiToQString(caption_));
  if (!key.isEmpty()) shortcut_id_ = grabShortcut(key);
}

void TrsSuperCheck::Click() {
  const bool was_checked = Checked();
  if (!hasFocus() && focusPolicy() != Qt::NoFocus) setFocus(Qt::MouseFocusReason);
  // With AutoCheck the focus may just have checked the control: that was this click's
  // change, so it is not undone at once.
  if (was_checked || !Checked()) ClickToggle();
  Fire(OnClick);
}

bool TrsSuperCheck::event(QEvent* event) {
  if (event->type() == QEvent::Shortcut) {
    // The accelerator takes the focus; it does not click.
    if (isEnabled() && isVisible() && focusPolicy() != Qt::NoFocus)
      setFocus(Qt::ShortcutFocusReason);
    return true;
  }
  return QWidget::event(event);
}

void TrsSuperCheck::paintEvent(QPaintEvent*) {
  const TCheckLayout l = CurrentLayout();
  QPainter p(this);
  p.fillRect(rect(), C(color_));
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect();
    focus.backgroundColor = C(color_);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
  }

  // Caption, transparent, its accelerator underlined.
  if (!caption_.empty()) {
    p.setFont(font());
    p.setPen(C(isEnabled() ? font_color_ : kClGrayText));
    const QRect text(l.TextLeft, l.TextTop, l.TextRight - l.TextLeft, l.TextBottom - l.TextTop);
    const int align = (l.TextRightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter |
                      Qt::TextSingleLine | Qt::TextShowMnemonic;
    p.drawText(text, align, AnsiToQString(caption_));
  }

  // Box.
  const int s = l.BoxSize;
  const QRect box(l.BoxX, l.BoxY, s, s);
  const QColor face = C(ColorFace());
  const QColor mark = C(ColorCheck());
  if (CheckStyle() != csRound) {
    p.fillRect(box, face);
    QRect ring = box;
    FrameRing(p, ring, C(kClBtnShadow), C(kClBtnHighlight));
    FrameRing(p, ring, Qt::black, C(kClBtnFace));
    if (Checked()) {
      const QRect m = box.adjusted(4, 4, -4, -4);
      p.setPen(QPen(mark, 2));
      if (CheckStyle() == csSquareX) {
        p.drawLine(m.topLeft(), m.bottomRight());
        p.drawLine(m.bottomLeft(), m.topRight());
      } else {
        const QPoint middle_left(m.left(), (m.top() + m.bottom()) / 2);
        p.drawLine(middle_left, m.bottomLeft());
        p.drawLine(m.bottomLeft(), m.topRight());
      }
    }
  } else {
    p.setPen(QPen(face, 1));
    p.setBrush(face);
    p.drawEllipse(QRect(box.left(), box.top(), s - 1, s - 1));
    RoundRing(p, box, C(kClBtnShadow), C(kClBtnHighlight));
    RoundRing(p, box.adjusted(1, 1, -1, -1), Qt::black, C(kClBtnFace));
    if (Checked()) {
      const int d = s / 3;
      const QRect dot = box.adjusted(d, d, -d, -d);
      p.setPen(QPen(mark, 1));
      p.setBrush(mark);
      p.drawEllipse(QRect(dot.left(), dot.top(), dot.width() - 1, dot.height() - 1));
    }
  }
}

void TrsSuperCheck::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressed_ = true;
  QWidget::mousePressEvent(event);
}

void TrsSuperCheck::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  if (event->button() == Qt::LeftButton) pressed_ = false;
  QWidget::mouseReleaseEvent(event);
  if (click) Click();
}

void TrsSuperCheck::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    focusNextChild();
    event->accept();
    return;
  }
  const QString text = event->text();
  if (event->key() == Qt::Key_Space) Click();
  if (OnKeyPress && text.size() == 1) {
    std::string ansi = platform::gui::QStringToAnsi(text);
    char key = ansi.empty() ? '\0' : ansi[0];
    platform::gui::RunGuarded([&] { OnKeyPress(this, key); });
  }
  if (event->key() == Qt::Key_Space) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TrsSuperCheck::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  Enter();
  Fire(OnEnter);
  update();
}

void TrsSuperCheck::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  Fire(OnExit);
  Exit();
  update();
}

void TrsSuperCheck::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange) Repaint();
}

}  // namespace components
