#include "platform/bookview/viewer_instance.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>

namespace bookview {
namespace {

constexpr int kAnswerWaitMs = 3000;
constexpr QByteArrayView kRequest = "front\n";

QString SocketName(const QString& book) {
  QFileInfo info(book);
  const QString canonical = info.canonicalFilePath();
  const QByteArray key =
      QFile::encodeName(canonical.isEmpty() ? info.absoluteFilePath() : canonical);
  const QByteArray hash =
      QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24);
  return QStringLiteral("bookview-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

}  // namespace

ViewerInstance::ViewerInstance(const QString& book)
    : name_(SocketName(book)), lock_(QDir(QDir::tempPath()).filePath(name_ + ".lock")) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  QObject::connect(&server_, &QLocalServer::newConnection, [this] {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        if (!socket->canReadLine()) return;
        const QByteArray request = socket->readLine();
        if (request != kRequest.toByteArray()) {
          socket->disconnectFromServer();
          return;
        }
        if (bring_to_front_) bring_to_front_();
        socket->write(QByteArray::number(QCoreApplication::applicationPid()) + '\n');
        socket->flush();
        socket->disconnectFromServer();
      });
    }
  });
}

bool ViewerInstance::Lock() { return lock_.tryLock(5000); }

void ViewerInstance::Unlock() { lock_.unlock(); }

qint64 ViewerInstance::HandOver() {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(kAnswerWaitMs)) return 0;
  socket.write(kRequest.data(), kRequest.size());
  if (!socket.waitForBytesWritten(kAnswerWaitMs)) return 0;
  QByteArray answer;
  while (!answer.contains('\n')) {
    if (!socket.waitForReadyRead(kAnswerWaitMs)) break;
    answer += socket.readAll();
  }
  bool number = false;
  const qint64 pid = answer.trimmed().toLongLong(&number);
  return number && pid > 0 ? pid : 0;
}

bool ViewerInstance::Listen(std::function<void()> bring_to_front) {
  bring_to_front_ = std::move(bring_to_front);
  if (server_.listen(name_)) return true;
  QLocalServer::removeServer(name_);
  return server_.listen(name_);
}

}  // namespace bookview
