// The viewer's window: one page of the book at a time, fitted into the window, under the title
// "Acrobat Reader - [<name>]". Ctrl+5 opens the modal "Go To Page" dialog, whose number field
// has the focus; a page number of the book and Enter show that page, any other number changes
// nothing.
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>
#include <functional>

class QLineEdit;
class QPdfDocument;
class QPdfView;

namespace bookview {

// The dialog asks for a page number (digits only).
class GoToPageDialog : public QDialog {
 public:
  GoToPageDialog(QWidget* parent, int page_count);
  QLineEdit* Number() const { return number_; }

 private:
  QLineEdit* number_;
};

class BookWindow : public QWidget {
 public:
  // Shows `document` (loaded, not owned) under the title made of `name`.
  BookWindow(QPdfDocument* document, const QString& name);

  // The 0-based page shown.
  int CurrentPage() const;
  // Shows the 0-based page `page`; a page the book lacks changes nothing. True when shown.
  bool ShowPage(int page);
  // Opens the Go To Page dialog (the Ctrl+5 command); one at a time.
  void OpenGoToPage();
  // Brings the window to the front, restored when minimised.
  void BringToFront();

  // Called with the 1-based page each time another page is shown.
  std::function<void(int page)> OnPageShown;

  static QString TitleFor(const QString& name);

 private:
  QPdfDocument* document_;
  QPdfView* view_;
  GoToPageDialog* dialog_ = nullptr;
};

}  // namespace bookview
