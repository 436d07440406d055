#include "shell/TWebData.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QThread>
#include <QTimer>

namespace {

// Bodies beyond this are no version file; the download stops there.
constexpr qint64 MaxBody = 64 * 1024;

class TSystemProxies : public QNetworkProxyFactory {
public:
  QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &AQuery) override {
    return systemProxyForQuery(AQuery);
  }
};

struct TDownload {
  bool Ok = false;
  QByteArray Body;
};

// Worker thread: one GET, returning when the reply has finished, the time-out has passed or
// the thread has been told to quit (QThread::quit ends the local loop too).
TDownload Download(const QUrl &AUrl, const QByteArray &AAgent, int ATimeOut) {
  QNetworkAccessManager manager;
  manager.setProxyFactory(new TSystemProxies);
  QNetworkRequest request(AUrl);
  request.setHeader(QNetworkRequest::UserAgentHeader, AAgent);
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  std::unique_ptr<QNetworkReply> reply(manager.get(request));
  QEventLoop loop;
  QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
  QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&reply] {
    if (reply->bytesAvailable() > MaxBody)
      reply->abort();
  });
  QTimer::singleShot(ATimeOut, Qt::PreciseTimer, &loop, [&reply] { reply->abort(); });
  if (!reply->isFinished())
    loop.exec();
  if (!reply->isFinished() || reply->error() != QNetworkReply::NoError)
    return {};
  // An HTTP answer must be a success; other schemes (file:) carry no status.
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  if (status >= 300)
    return {};
  return {true, reply->readAll()};
}

} // namespace

TWebData::TWebData(QObject *AOwner) : QObject(AOwner) {}

TWebData::~TWebData() {
  if (!FThread)
    return;
  FThread->quit();
  FThread->wait();
}

void TWebData::ThreadCollectData() {
  FThread.reset(QThread::create([this, url = QUrl(URL), agent = Agent, timeOut = TimeOut] {
    const TDownload result = Download(url, agent, timeOut);
    const QString data = QString::fromLatin1(result.Body);
    // Dropped with this object should it be destroyed first.
    QMetaObject::invokeMethod(
        this, [this, ok = result.Ok, data] { Finish(ok, data); }, Qt::QueuedConnection);
  }));
  FThread->start();
}

void TWebData::Finish(bool AOk, const QString &AData) {
  if (AOk && OnData)
    OnData(this, AData);
  FDone = true;
}
