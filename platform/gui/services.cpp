#include "platform/gui/services.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>
#include <memory>

#include "platform/core/clock.h"
#include "platform/gui/activation.h"
#include "platform/gui/qt_services.h"

namespace platform::gui {
namespace {

Services* g_current = nullptr;

}  // namespace

Services::~Services() {
  if (g_current == this) g_current = nullptr;
}

Services& Services::Current() {
  if (g_current) return *g_current;
  static QtServices fallback;
  return fallback;
}

Services* Services::SetCurrent(Services* services) {
  Services* previous = g_current;
  g_current = services;
  return previous;
}

int Services::MessageBox(const QString& text, const QString& caption, MessageIcon icon,
                         MessageButtons buttons, QWidget* owner) {
  QWidget* target = owner ? owner : LastActivatedWindow();
  int answer =
      DoMessageBox(text, caption.isEmpty() ? ApplicationTitle() : caption, icon, buttons, target);
  ScheduleActivation(target);
  return answer;
}

void Services::ShowMessage(const QString& text, QWidget* owner) {
  MessageBox(text, QString(), kIconNone, kButtonsOk, owner);
}

QString ApplicationTitle() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    return QGuiApplication::applicationDisplayName();
  return QCoreApplication::applicationName();
}

ServiceResult PrintToPdf(const PrintJob& job, const QString& path) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  printer.setDocName(job.title);
  printer.setCreator(ApplicationTitle());
  return PrintOn(job, &printer);
}

ServiceResult PrintOn(const PrintJob& job, QPrinter* printer) {
  if (!printer->isValid()) return {false, QStringLiteral("The printer is not available.")};
  QFont font = job.font;
  // Pixel sizes are screen pixels at 96 dpi; the printer has its own resolution.
  if (font.pixelSize() > 0) font.setPointSizeF(font.pixelSize() * 72.0 / 96.0);
  QString text = job.text;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar('\r'), QChar('\n'));
  // Laid out on the printer's printable area and drawn page by page (the document's own
  // print would add page numbers, which a printed rich edit does not have).
  QPainter painter;
  if (!painter.begin(printer)) return {false, QStringLiteral("The printer cannot be opened.")};
  QTextDocument document;
  document.documentLayout()->setPaintDevice(printer);
  document.setDefaultFont(font);
  document.setPlainText(text);
  const QRectF page(QPointF(0, 0), printer->pageRect(QPrinter::DevicePixel).size());
  document.setPageSize(page.size());
  const int pages = document.pageCount();
  for (int i = 0; i < pages; ++i) {
    if (i > 0 && !printer->newPage()) return {false, QStringLiteral("Printing failed.")};
    painter.save();
    painter.translate(0, -page.height() * i);
    document.drawContents(&painter, page.translated(0, page.height() * i));
    painter.restore();
  }
  painter.end();
  if (printer->printerState() == QPrinter::Error)
    return {false, QStringLiteral("Printing failed.")};
  return {true, QString()};
}

uint32_t ClockRandomSeed() {
  const platform::LocalTime t = platform::UtcNow();
  return static_cast<uint32_t>(((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond);
}

}  // namespace platform::gui
