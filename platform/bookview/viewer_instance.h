// One viewer per book and user: the viewer that shows a book listens on a local socket named
// after the user and the book's canonical path; a later start on the same book asks it to come
// to the front, learns its pid and ends. A lock file beside the socket makes the choice between
// two starts at once: one of them shows the book, the other hands over to it.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

namespace bookview {

class ViewerInstance {
 public:
  explicit ViewerInstance(const QString& book);
  ViewerInstance(const ViewerInstance&) = delete;
  ViewerInstance& operator=(const ViewerInstance&) = delete;

  // Takes the book's lock, waiting a few seconds at most; false when it could not.
  bool Lock();
  void Unlock();

  // Asks the viewer showing the book to come to the front. Returns its pid, or 0 when no viewer
  // answered.
  qint64 HandOver();

  // Takes the book's socket (one a viewer that ended left behind is removed: the lock is held
  // and no viewer answered on it). Each later start that asks runs `bring_to_front` and is
  // answered with this process's pid. False when the socket cannot be had.
  bool Listen(std::function<void()> bring_to_front);

 private:
  QString name_;
  QLockFile lock_;
  QLocalServer server_;
  std::function<void()> bring_to_front_;
};

}  // namespace bookview
