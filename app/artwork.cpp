#include "app/artwork.h"

#include <QBrush>
#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include "app/app_context.h"
#include "platform/gui/text.h"

namespace app {
namespace {

const QColor kInk(0x1f, 0x3a, 0x68);
const QColor kAccent(0xd9, 0x8c, 0x1f);

// A check mark in a rounded square, the program's mark.
void DrawMark(QPainter& p, const QRectF& box) {
  p.setPen(Qt::NoPen);
  p.setBrush(kInk);
  p.drawRoundedRect(box, box.width() * 0.18, box.height() * 0.18);
  QPen pen(kAccent, box.width() * 0.13, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  const QPolygonF tick({box.topLeft() + QPointF(box.width() * 0.24, box.height() * 0.54),
                        box.topLeft() + QPointF(box.width() * 0.43, box.height() * 0.72),
                        box.topLeft() + QPointF(box.width() * 0.78, box.height() * 0.30)});
  p.drawPolyline(tick);
}

}  // namespace

QPixmap ProgramLogo(const QSize& size, const QString& name) {
  QPixmap pixmap(size);
  pixmap.fill(Qt::white);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal side = size.height() * 0.7;
  const QRectF mark(size.height() * 0.15, (size.height() - side) / 2, side, side);
  DrawMark(p, mark);
  p.setPen(kInk);
  p.setFont(platform::gui::SansFontPixels(static_cast<int>(size.height() * 0.34)));
  const QRectF text(mark.right() + size.height() * 0.15, 0, size.width() - mark.right(),
                    size.height() * 0.62);
  p.drawText(text, Qt::AlignLeft | Qt::AlignBottom, name);
  p.setPen(QColor(0x55, 0x55, 0x55));
  p.setFont(platform::gui::SansFontPixels(static_cast<int>(size.height() * 0.13)));
  p.drawText(QRectF(text.left(), size.height() * 0.62, text.width(), size.height() * 0.3),
             Qt::AlignLeft | Qt::AlignTop, "Certification practice exams");
  return pixmap;
}

QPixmap StartBanner(const QSize& size) {
  QPixmap pixmap(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, size.height());
  sky.setColorAt(0, QColor(0x2b, 0x4f, 0x8a));
  sky.setColorAt(1, kInk);
  p.fillRect(QRect(QPoint(0, 0), size), sky);
  // Rows of answer marks, the study program's theme.
  const qreal cell = size.height() / 6.0;
  for (int row = 0; row < 6; ++row) {
    for (int col = 0; col * cell < size.width(); ++col) {
      const QRectF box(col * cell + cell * 0.3, row * cell + cell * 0.3, cell * 0.4, cell * 0.4);
      // Faint open rings, every fifth one filled in the accent colour. Both branches are
      // brushes: a colour and a brush style have no common type but a colour, and "no brush"
      // would become opaque black.
      p.setPen(QPen(QColor(255, 255, 255, 40), 1));
      p.setBrush((row * 7 + col * 3) % 5 == 0 ? QBrush(QColor(0xd9, 0x8c, 0x1f, 120))
                                              : QBrush(Qt::NoBrush));
      p.drawEllipse(box);
    }
  }
  return pixmap;
}

QPixmap DrillBanner(const QSize& size) {
  QPixmap pixmap(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, size.width(), size.height());
  sky.setColorAt(0, QColor(0x1e, 0x6f, 0x6a));
  sky.setColorAt(1, kInk);
  p.fillRect(QRect(QPoint(0, 0), size), sky);
  // Three cards fanned out around the centre, the front one with a question mark.
  const qreal h = size.height() * 0.62;
  const qreal w = h * 0.72;
  const QPointF centre(size.width() / 2.0, size.height() / 2.0);
  for (int card = 0; card < 3; ++card) {
    p.save();
    p.translate(centre);
    p.rotate((card - 2) * 12.0);
    const QRectF face(-w / 2, -h / 2, w, h);
    p.setPen(QPen(QColor(0, 0, 0, 60), 1));
    p.setBrush(card == 2 ? QColor(Qt::white) : QColor(0xe8, 0xee, 0xf4));
    p.drawRoundedRect(face, w * 0.08, w * 0.08);
    if (card == 2) {
      p.setPen(kAccent);
      p.setFont(platform::gui::SansFontPixels(static_cast<int>(h * 0.5)));
      p.drawText(face, Qt::AlignCenter, "?");
    }
    p.restore();
  }
  return pixmap;
}

TLogoPanel MakeLogoPanel(QWidget* parent) {
  TLogoPanel p{};
  p.Panel1 = new QFrame(parent);
  p.Panel1->setObjectName("Panel1");
  p.Panel1->setGeometry(8, 8, 305, 98);
  p.Panel1->setAutoFillBackground(true);
  QPalette white = p.Panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  p.Panel1->setPalette(white);
  p.Shape1 = new QFrame(p.Panel1);
  p.Shape1->setFrameShape(QFrame::Box);
  p.Shape1->setGeometry(0, 0, 305, 98);
  p.Image2 = new QLabel(p.Panel1);
  p.Image2->setGeometry(4, 9, 297, 80);
  p.Image2->setPixmap(ProgramLogo(p.Image2->size(), Ctx().Title()));
  return p;
}

}  // namespace app
