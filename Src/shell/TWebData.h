// The small download component behind the update check: fetches one address on a worker
// thread and hands the body to the main thread. Every failure (no connection, a refused or
// unknown host, an error status, a time-out) ends the pass quietly, without data.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QThread;

class TWebData : public QObject {
  Q_OBJECT
public:
  explicit TWebData(QObject *AOwner = nullptr);
  // Ends a pass still in progress (its data is dropped) and waits for the worker.
  ~TWebData() override;

  // Settings, read once by ThreadCollectData.
  QString URL;
  QByteArray Agent = "WebData";
  int TimeOut = 15000; // milliseconds for the whole pass

  // Main thread, after a successful download: the body, one character per byte.
  std::function<void(TWebData *Sender, const QString &Data)> OnData;

  // Main thread: starts the worker; the request bypasses every cache and uses the system's
  // proxy configuration.
  void ThreadCollectData();
  // True once the pass has ended and OnData (if the download succeeded) has returned.
  bool Done() const { return FDone; }

private:
  void Finish(bool AOk, const QString &AData);

  std::unique_ptr<QThread> FThread;
  bool FDone = false;
};
