// One window per user: the first start of the program listens on a local socket in the user's
// runtime folder, and a later start without a job hands its files to it and ends.
#pragma once

#include <QLocalServer>
#include <QStringList>
#include <functional>

class TSingleInstance {
public:
  enum THandOver {
    hoDone,     // the running program took the files
    hoNoServer, // no program listens (none runs, or the socket is left from a crash)
    hoNoAnswer  // one listens but did not take the files in time
  };

  explicit TSingleInstance(const QString &ASocketPath);

  // $XDG_RUNTIME_DIR/quillet.socket (Qt's private runtime folder when the variable is unset).
  static QString DefaultSocketPath();

  // Hands APaths (absolute) to the program listening on the socket, waiting at most
  // ATimeoutMs for it to take them.
  THandOver HandOver(const QStringList &APaths, int ATimeoutMs = 5000) const;

  // Listens on the socket, taking over one that no program answers on; false when that fails.
  // Connections of other users are closed unread.
  bool Listen();

  // Called on the main thread with every list of paths handed over.
  std::function<void(const QStringList &)> OnFiles;

private:
  QString FPath;
  QLocalServer FServer;

  void Accept(QLocalSocket *ASocket);
};
