#include "shell/TSingleInstance.h"

#include <QDataStream>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The answer a program sends once it has the files.
constexpr char Taken = '1';

bool OwnedByThisUser(const QString &APath) {
  struct stat info {};
  return ::lstat(QFile::encodeName(APath).constData(), &info) == 0 && info.st_uid == ::getuid();
}

bool PeerIsThisUser(const QLocalSocket &ASocket) {
  struct ucred peer {};
  socklen_t size = sizeof peer;
  return ::getsockopt(int(ASocket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) ==
             0 &&
         peer.uid == ::getuid();
}
} // namespace

TSingleInstance::TSingleInstance(const QString &ASocketPath) : FPath(ASocketPath) {}

QString TSingleInstance::DefaultSocketPath() {
  return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
         QStringLiteral("/quillet.socket");
}

TSingleInstance::THandOver TSingleInstance::HandOver(const QStringList &APaths,
                                                     int ATimeoutMs) const {
  // Another user's socket (in a shared folder) is never written to.
  if (!OwnedByThisUser(FPath))
    return hoNoServer;
  QLocalSocket socket;
  socket.connectToServer(FPath);
  if (!socket.waitForConnected(ATimeoutMs))
    return hoNoServer;
  QByteArray message;
  QDataStream out(&message, QIODevice::WriteOnly);
  out << APaths;
  socket.write(message);
  if (!socket.waitForBytesWritten(ATimeoutMs))
    return hoNoAnswer;
  while (socket.bytesAvailable() == 0)
    if (!socket.waitForReadyRead(ATimeoutMs))
      return hoNoAnswer;
  char answer = 0;
  return socket.getChar(&answer) && answer == Taken ? hoDone : hoNoAnswer;
}

bool TSingleInstance::Listen() {
  FServer.setSocketOptions(QLocalServer::UserAccessOption);
  QObject::connect(&FServer, &QLocalServer::newConnection, &FServer, [this] {
    while (QLocalSocket *socket = FServer.nextPendingConnection())
      Accept(socket);
  });
  if (FServer.listen(FPath))
    return true;
  // Left by a program that ended without closing it (HandOver found no one listening).
  if (FServer.serverError() != QAbstractSocket::AddressInUseError || !OwnedByThisUser(FPath))
    return false;
  QLocalServer::removeServer(FPath);
  return FServer.listen(FPath);
}

void TSingleInstance::Accept(QLocalSocket *ASocket) {
  QObject::connect(ASocket, &QLocalSocket::disconnected, ASocket, &QObject::deleteLater);
  if (!PeerIsThisUser(*ASocket)) {
    ASocket->abort();
    return;
  }
  auto read = [this, ASocket] {
    QDataStream in(ASocket);
    in.startTransaction();
    QStringList paths;
    in >> paths;
    if (!in.commitTransaction())
      return;
    ASocket->putChar(Taken);
    ASocket->disconnectFromServer();
    // Later, from the event loop: the adding window runs modally, and the socket's signal
    // handler is no place for a nested loop.
    QTimer::singleShot(0, &FServer, [this, paths] {
      if (OnFiles)
        OnFiles(paths);
    });
  };
  QObject::connect(ASocket, &QLocalSocket::readyRead, ASocket, read);
  if (ASocket->bytesAvailable() > 0)
    read();
}
