#include "samples/demo_pictures.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>
#include <vector>

#include "samples/demo_fonts.h"

namespace samples {

namespace {

constexpr int kDotsPerMetre = 2835;  // 72 dots per inch
constexpr int kLabelPixels = 20;     // DejaVu Sans Mono: 12 pixels a character, capitals 14 high
const QColor kWhite(255, 255, 255);
constexpr int kLogoWidth = 89, kLogoHeight = 81;

QImage NewImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(kWhite);
  image.setDotsPerMeterX(kDotsPerMetre);
  image.setDotsPerMeterY(kDotsPerMetre);
  return image;
}

std::string Bmp(const QImage& image, const std::string& what) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "BMP")) throw DemoError("cannot write " + what + " as a bitmap");
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// Filled circles, outlines and round-capped lines, all antialiased.
class Drawing {
 public:
  explicit Drawing(QImage& image) : p_(&image) { p_.setRenderHint(QPainter::Antialiasing); }

  void Disc(double cx, double cy, double r, const QColor& color) {
    p_.setPen(Qt::NoPen);
    p_.setBrush(color);
    p_.drawEllipse(QPointF(cx, cy), r, r);
  }
  void Ellipse(double cx, double cy, double rx, double ry, double width, const QColor& color) {
    p_.setPen(Pen(width, color));
    p_.setBrush(Qt::NoBrush);
    p_.drawEllipse(QPointF(cx, cy), rx, ry);
  }
  void Ring(double cx, double cy, double r, double width, const QColor& color) {
    Ellipse(cx, cy, r, r, width, color);
  }
  void Line(double x0, double y0, double x1, double y1, double width, const QColor& color) {
    p_.setPen(Pen(width, color));
    p_.drawLine(QPointF(x0, y0), QPointF(x1, y1));
  }
  void Fill(double x, double y, double w, double h, const QColor& color) {
    p_.fillRect(QRectF(x, y, w, h), color);
  }
  // Limits what follows to the inside of a circle; ClipNone() lifts the limit.
  void ClipCircle(double cx, double cy, double r) {
    QPainterPath path;
    path.addEllipse(QPointF(cx, cy), r, r);
    p_.setClipPath(path);
  }
  void ClipNone() { p_.setClipping(false); }
  // Text with the top left corner of its capitals at (x, y).
  void Text(double x, double y, const QString& text, const QFont& font, const QColor& color) {
    p_.setFont(font);
    p_.setPen(color);
    p_.drawText(QPointF(x, y + QFontMetricsF(font).capHeight()), text);
  }

 private:
  static QPen Pen(double width, const QColor& color) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  }

  QPainter p_;
};

void LogoFrame(Drawing& d) {
  const QColor frame(196, 206, 222);
  d.Fill(0, 0, kLogoWidth, 1, frame);
  d.Fill(0, kLogoHeight - 1, kLogoWidth, 1, frame);
  d.Fill(0, 0, 1, kLogoHeight, frame);
  d.Fill(kLogoWidth - 1, 0, 1, kLogoHeight, frame);
}

// A globe with a network drawn across it.
QImage GlobeLogo() {
  QImage image = NewImage(kLogoWidth, kLogoHeight);
  Drawing d(image);
  const double cx = 44.5, cy = 40.5, r = 29;
  const QColor grid(150, 192, 232);
  d.Disc(cx, cy, r, QColor(34, 97, 168));
  d.ClipCircle(cx, cy, r);
  for (double dy : {-14.5, 0.0, 14.5}) d.Line(cx - r, cy + dy, cx + r, cy + dy, 1.4, grid);
  d.Line(cx, cy - r, cx, cy + r, 1.4, grid);
  for (double rx : {12.0, 22.0}) d.Ellipse(cx, cy, rx, r, 1.4, grid);
  d.ClipNone();
  d.Ring(cx, cy, r, 2.2, QColor(18, 56, 110));
  const QColor link(232, 134, 28);
  const double nodes[][2] = {{17, 20}, {73, 27}, {58, 69}, {22, 62}};
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    d.Line(nodes[i][0], nodes[i][1], nodes[j][0], nodes[j][1], 2.2, link);
  }
  d.Line(nodes[0][0], nodes[0][1], nodes[2][0], nodes[2][1], 1.6, link);
  for (const auto& n : nodes) {
    d.Disc(n[0], n[1], 5.5, link);
    d.Disc(n[0], n[1], 2.4, kWhite);
  }
  LogoFrame(d);
  return image;
}

// A hub with six nodes around it, joined to it and to their neighbours.
QImage HubLogo() {
  QImage image = NewImage(kLogoWidth, kLogoHeight);
  Drawing d(image);
  const double cx = 44.5, cy = 40.5, r = 27;
  const double pi = std::acos(-1.0);
  double x[6], y[6];
  for (int i = 0; i < 6; ++i) {
    x[i] = cx + r * std::cos(pi / 6 + i * pi / 3);
    y[i] = cy + r * std::sin(pi / 6 + i * pi / 3);
  }
  for (int i = 0; i < 6; ++i) {
    d.Line(x[i], y[i], x[(i + 1) % 6], y[(i + 1) % 6], 1.3, QColor(168, 204, 204));
  }
  for (int i = 0; i < 6; ++i) d.Line(cx, cy, x[i], y[i], 2.4, QColor(46, 128, 128));
  d.Disc(cx, cy, 10, QColor(22, 122, 122));
  d.Ring(cx, cy, 6, 1.6, kWhite);
  for (int i = 0; i < 6; ++i) {
    d.Disc(x[i], y[i], 6, QColor(40, 70, 132));
    d.Disc(x[i], y[i], 2.5, QColor(236, 164, 52));
  }
  LogoFrame(d);
  return image;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && line[at] == ' ') ++at;
    size_t end = at;
    while (end < line.size() && line[end] != ' ') ++end;
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

}  // namespace

std::string MakeLogo(int n) {
  if (n == 1) return Bmp(GlobeLogo(), "logo 1");
  if (n == 2) return Bmp(HubLogo(), "logo 2");
  throw DemoError("there is no logo " + std::to_string(n));
}

std::string MakePicture(const Exhibit& e) {
  struct Label {
    double x, y;
    QString text;
  };
  const std::string where = "exhibit " + e.file + " (line " + std::to_string(e.line) + ")";
  const QColor ink(24, 28, 36), wire(70, 78, 92), border(40, 72, 124), fill(222, 235, 250);
  const QFont font = DemoPixelFont(DemoFace::kMono, kLabelPixels);
  const QFontMetricsF metrics(font);
  std::optional<QImage> image;
  std::optional<Drawing> drawing;
  std::vector<Label> labels;  // drawn after the shapes, so that no line crosses a label
  for (size_t i = 0; i < e.text.size(); ++i) {
    const std::string what = where + " command " + std::to_string(i + 1);
    const std::string& command = e.text[i];
    const std::vector<std::string> words = Words(command);
    if (words.empty()) continue;
    auto number = [&](size_t k) {
      int v = 0;
      if (k >= words.size()) throw DemoError(what + ": \"" + command + "\" lacks a number");
      auto [end, ec] = std::from_chars(words[k].data(), words[k].data() + words[k].size(), v);
      if (ec != std::errc() || end != words[k].data() + words[k].size() || v < 0 || v > 4000) {
        throw DemoError(what + ": \"" + words[k] + "\" is not a coordinate");
      }
      return v;
    };
    // The text after the first `k` words, as written.
    auto rest = [&](size_t k) {
      size_t at = 0;
      for (size_t n = 0; n < k; ++n) {
        at = command.find_first_not_of(' ', at);
        at = command.find(' ', at);
        if (at == std::string::npos) return QString();
      }
      const QString text = QString::fromUtf8(command.substr(at + 1));
      if (const auto missing = MissingCharacter(font, text)) {
        throw DemoError(what + ": the picture's font has no \"" +
                        QString::fromUcs4(&*missing, 1).toStdString() + "\"");
      }
      return text;
    };
    if (words[0] == "size") {
      if (image) throw DemoError(what + ": a second size");
      const int w = number(1), h = number(2);
      if (w < 16 || h < 16) throw DemoError(what + ": the picture is too small");
      image = NewImage(w, h);
      drawing.emplace(*image);
      continue;
    }
    if (!image) throw DemoError(what + ": the picture starts with \"size W H\"");
    if (words[0] == "line") {
      drawing->Line(number(1), number(2), number(3), number(4), 2.5, wire);
    } else if (words[0] == "box") {
      const int x = number(1), y = number(2), w = number(3), h = number(4);
      drawing->Fill(x, y, w, h, border);
      drawing->Fill(x + 2, y + 2, std::max(w - 4, 0), std::max(h - 4, 0), fill);
      const QString text = rest(5);
      labels.push_back(
          {x + (w - metrics.horizontalAdvance(text)) / 2, y + (h - metrics.capHeight()) / 2, text});
    } else if (words[0] == "text") {
      labels.push_back({static_cast<double>(number(1)), static_cast<double>(number(2)), rest(3)});
    } else {
      throw DemoError(what + ": unknown drawing command \"" + words[0] + "\"");
    }
  }
  if (!image) throw DemoError(where + ": no size");
  for (const Label& l : labels) drawing->Text(l.x, l.y, l.text, font, ink);
  drawing.reset();  // ends the painting
  return Bmp(*image, where);
}

}  // namespace samples
