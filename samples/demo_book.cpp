#include "samples/demo_book.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QPointF>
#include <QStringList>
#include <algorithm>

#include "samples/demo_fonts.h"

namespace samples {

namespace {

// Page geometry in points, y measured down from the top of the page.
constexpr double kPageWidth = 612, kPageHeight = 792, kMargin = 72;
constexpr double kTextWidth = kPageWidth - 2 * kMargin;
constexpr double kLastLine = kPageHeight - 72;  // no body line below this
constexpr double kFooter = kPageHeight - 40;

std::string LineRef(int line) { return "line " + std::to_string(line); }

// A text of the book, which takes code page 1252 as the other texts of the test folder do.
QString BookText(const std::string& utf8, const std::string& what) {
  Encode(utf8, platform::CodePage::k1252, what);
  return QString::fromUtf8(utf8);
}

// Draws on the pages of the PDF writer in points.
class BookPainter {
 public:
  explicit BookPainter(QPdfWriter& writer)
      : writer_(writer), painter_(&writer), scale_(writer.resolution() / 72.0) {
    if (!painter_.isActive()) throw DemoError("cannot start drawing the book");
  }

  void NewPage() {
    if (!writer_.newPage()) throw DemoError("cannot add a page to the book");
  }

  // Text whose base line starts at (x, y).
  void Text(double x, double y, const QString& text, const QFont& font) {
    painter_.setFont(font);
    painter_.setPen(Qt::black);
    painter_.drawText(QPointF(x * scale_, y * scale_), text);
  }

  // Width of the text in points.
  double Width(const QString& text, const QFont& font) const {
    return QFontMetricsF(font, &writer_).horizontalAdvance(text) / scale_;
  }

  // A thin grey rule across the text column.
  void Rule(double y) {
    painter_.setPen(QPen(QColor::fromRgbF(0.55f, 0.55f, 0.55f), 0.6 * scale_));
    painter_.drawLine(QPointF(kMargin * scale_, y * scale_),
                      QPointF((kPageWidth - kMargin) * scale_, y * scale_));
  }

  // Breaks the text at blanks into lines no wider than `width` points; a word wider than that
  // stands on a line of its own.
  QStringList Wrap(const QString& text, const QFont& font, double width) const {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
      const QString candidate = line.isEmpty() ? word : line + u' ' + word;
      if (!line.isEmpty() && Width(candidate, font) > width) {
        lines.push_back(line);
        line = word;
      } else {
        line = candidate;
      }
    }
    if (!line.isEmpty()) lines.push_back(line);
    return lines;
  }

  void Footer(int number, int count, const QFont& font) {
    const QString text = QStringLiteral("Page %1 of %2").arg(number).arg(count);
    Text((kPageWidth - Width(text, font)) / 2, kFooter, text, font);
  }

  void End() {
    if (!painter_.end()) throw DemoError("cannot finish the book");
  }

 private:
  QPdfWriter& writer_;
  QPainter painter_;
  double scale_;  // device units per point
};

}  // namespace

std::string MakeBook(const DemoSource& s) {
  RequireGuiApplication("the book");
  const int count = static_cast<int>(s.topics.size()) + 1;
  for (size_t i = 0; i < s.topics.size(); ++i) {
    if (s.topics[i].page != static_cast<int>(i) + 2) {
      throw DemoError("topic " + s.topics[i].id + " is not on the page the book gives it");
    }
  }
  const QFont heading = DemoFont(DemoFace::kSansBold, 22);
  const QFont subtitle = DemoFont(DemoFace::kSans, 14);
  const QFont section = DemoFont(DemoFace::kSansBold, 14);
  const QFont entry_bold = DemoFont(DemoFace::kSansBold, 11);
  const QFont body = DemoFont(DemoFace::kSans, 11);
  const QFont title = DemoFont(DemoFace::kSansBold, 18);
  const QFont running = DemoFont(DemoFace::kSans, 10);
  const QFont footer = DemoFont(DemoFace::kSans, 9);

  const QString name = BookText(s.test.name, "the test name (" + LineRef(s.test.line) + ")");
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    writer.setTitle(name);
    writer.setCreator(QStringLiteral("make_demo"));
    BookPainter p(writer);

    // Page 1: the title and the contents.
    double y = 92;
    for (const QString& line : p.Wrap(name, heading, kTextWidth)) {
      p.Text(kMargin, y, line, heading);
      y += 28;
    }
    p.Text(kMargin, y + 2, QStringLiteral("Reference book"), subtitle);
    y += 50;
    p.Text(kMargin, y, QStringLiteral("Contents"), section);
    p.Rule(y + 8);
    y += 30;
    for (const Chapter& c : s.chapters) {
      if (y > kLastLine) throw DemoError("the contents of the book do not fit on one page");
      p.Text(kMargin, y, BookText(c.title, "chapter " + c.id + " (" + LineRef(c.line) + ")"),
             entry_bold);
      y += 17;
      for (const Topic& t : s.topics) {
        if (t.chapter != c.id) continue;
        if (y > kLastLine) throw DemoError("the contents of the book do not fit on one page");
        const QString number = QString::number(t.page);
        const double number_width = p.Width(number, body);
        const QStringList lines =
            p.Wrap(BookText(t.title, "topic " + t.id + " (" + LineRef(t.line) + ")"), body,
                   kTextWidth - 18 - number_width - 12);
        for (const QString& line : lines) {
          if (y > kLastLine) throw DemoError("the contents of the book do not fit on one page");
          p.Text(kMargin + 18, y, line, body);
          y += 16;
        }
        p.Text(kPageWidth - kMargin - number_width, y - 16, number, body);
      }
      y += 6;
    }
    p.Footer(1, count, footer);

    // One page per topic, in book order.
    for (const Topic& t : s.topics) {
      const std::string what = "topic " + t.id + " (" + LineRef(t.line) + ")";
      const auto& chapter = *std::find_if(s.chapters.begin(), s.chapters.end(),
                                          [&](const Chapter& c) { return c.id == t.chapter; });
      p.NewPage();
      p.Text(kMargin, 52, BookText(chapter.title, what), running);
      p.Rule(60);
      y = 92;
      for (const QString& line : p.Wrap(BookText(t.title, what), title, kTextWidth)) {
        p.Text(kMargin, y, line, title);
        y += 22;
      }
      y += 10;
      for (const std::string& paragraph : t.text) {
        if (paragraph.empty()) {
          y += 8;
          continue;
        }
        for (const QString& line : p.Wrap(BookText(paragraph, what), body, kTextWidth)) {
          if (y > kLastLine) {
            throw DemoError(what + ": the text does not fit on one page of the book");
          }
          p.Text(kMargin, y, line, body);
          y += 15;
        }
      }
      p.Footer(t.page, count, footer);
    }
    p.End();
  }
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace samples
