// The demo test's program exhibit: a small window of its own with one line of text (the help
// desk ticket a question refers to) and a button that closes it. The demo folder holds it as
// EX30125/demo.exe; the exhibit window starts it in the exhibit folder.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Help Desk Ticket"));
  window.setFixedSize(460, 96);
  auto* line = new QLabel(
      QStringLiteral(
          "Ticket 4711: PC1 cannot open the web site www.example.com since this morning."),
      &window);
  line->setObjectName(QStringLiteral("Line"));
  line->setGeometry(12, 16, 436, 24);
  auto* close = new QPushButton(QStringLiteral("&Close"), &window);
  close->setObjectName(QStringLiteral("CloseBtn"));
  close->setGeometry(182, 56, 96, 28);
  close->setDefault(true);
  QObject::connect(close, &QPushButton::clicked, &window, &QWidget::close);
  window.show();
  return app.exec();
}
