#include "platform/bookview/book_window.h"

#include <QDialogButtonBox>
#include <QIntValidator>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace bookview {

GoToPageDialog::GoToPageDialog(QWidget* parent, int page_count) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Go To Page"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Page number (1 to %1):").arg(page_count), this));
  number_ = new QLineEdit(this);
  number_->setObjectName(QStringLiteral("PageNumber"));
  number_->setValidator(new QIntValidator(0, 999999, number_));
  layout->addWidget(number_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  setFocusProxy(number_);
}

QString BookWindow::TitleFor(const QString& name) {
  return QStringLiteral("Acrobat Reader - [") + name + QStringLiteral("]");
}

BookWindow::BookWindow(QPdfDocument* document, const QString& name) : document_(document) {
  setWindowTitle(TitleFor(name));
  resize(760, 900);
  view_ = new QPdfView(this);
  view_->setPageMode(QPdfView::PageMode::SinglePage);
  view_->setZoomMode(QPdfView::ZoomMode::FitInView);
  view_->setDocument(document_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  connect(view_->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this, [this](int page) {
    if (OnPageShown) OnPageShown(page + 1);
  });
  auto* go_to = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_5), this);
  connect(go_to, &QShortcut::activated, this, &BookWindow::OpenGoToPage);
}

int BookWindow::CurrentPage() const { return view_->pageNavigator()->currentPage(); }

bool BookWindow::ShowPage(int page) {
  if (page < 0 || page >= document_->pageCount()) return false;
  QPdfPageNavigator* navigator = view_->pageNavigator();
  navigator->jump(page, QPointF(), navigator->currentZoom());
  return true;
}

void BookWindow::OpenGoToPage() {
  if (dialog_) {
    dialog_->raise();
    dialog_->activateWindow();
    return;
  }
  dialog_ = new GoToPageDialog(this, document_->pageCount());
  dialog_->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog_, &QDialog::accepted, this, [this] {
    bool number = false;
    const int page = dialog_->Number()->text().toInt(&number);
    if (number) ShowPage(page - 1);
  });
  connect(dialog_, &QObject::destroyed, this, [this] { dialog_ = nullptr; });
  dialog_->open();
  dialog_->Number()->setFocus();
}

void BookWindow::BringToFront() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

}  // namespace bookview
