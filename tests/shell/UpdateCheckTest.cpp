// The update check against a real HTTP server on 127.0.0.1: which version files bring up the
// question, that failures stay silent, that a server which never answers neither blocks the
// window nor delays its closing, and when no request is made at all.
#include <gtest/gtest.h>

#include "shell/TWebData.h"
#include "shell/Tfrm_Main.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

// Serves every request with one canned answer, or accepts and never answers.
class TVersionServer : public QObject {
public:
  int Status = 200;
  QByteArray Body;
  bool Answers = true;
  int Requests = 0;
  QByteArray LastRequest;

  TVersionServer() {
    FServer.listen(QHostAddress::LocalHost);
    connect(&FServer, &QTcpServer::newConnection, this, [this] { Accept(); });
  }
  QString URL() const {
    return QStringLiteral("http://127.0.0.1:%1/upd_converter.ini").arg(FServer.serverPort());
  }

private:
  void Accept() {
    while (QTcpSocket *socket = FServer.nextPendingConnection()) {
      connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        LastRequest += socket->readAll();
        if (!LastRequest.contains("\r\n\r\n"))
          return;
        ++Requests;
        if (!Answers)
          return;
        socket->write("HTTP/1.1 " + QByteArray::number(Status) +
                      " Canned\r\nContent-Type: text/plain\r\nContent-Length: " +
                      QByteArray::number(Body.size()) + "\r\nConnection: close\r\n\r\n" + Body);
        socket->disconnectFromHost();
      });
    }
  }
  QTcpServer FServer;
};

// A port nothing listens on.
QString ClosedPortURL() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost);
  const quint16 port = probe.serverPort();
  probe.close();
  return QStringLiteral("http://127.0.0.1:%1/upd_converter.ini").arg(port);
}

// Answers every message box with No and keeps "title|text" of each.
class TBoxRecorder : public QObject {
public:
  QStringList Shown;
  TBoxRecorder() {
    FTimer.callOnTimeout([this] {
      for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
          Shown << box->windowTitle() + QLatin1Char('|') + box->text();
          EXPECT_EQ(box->icon(), QMessageBox::Information);
          EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
          box->button(QMessageBox::No)->click();
        }
    });
    FTimer.start(10);
  }

private:
  QTimer FTimer;
};

// The largest pause of the main thread's event loop over AMilliseconds.
int LongestStall(int AMilliseconds) {
  QElapsedTimer clock, sinceTick;
  clock.start();
  sinceTick.start();
  qint64 longest = 0;
  QTimer tick;
  tick.callOnTimeout([&] { longest = std::max(longest, sinceTick.restart()); });
  tick.start(5);
  QTest::qWait(AMilliseconds);
  return int(std::max(longest, sinceTick.elapsed()));
}

class UpdateCheck : public testing::Test {
protected:
  void SetUp() override {
    for (const char *name : {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"})
      qunsetenv(name);
    qputenv("APPDATA", Config.path().toUtf8());
  }
  void TearDown() override { qunsetenv("QUILLET_UPDATE_URL"); }
  // Shows a main window whose check asks AURL.
  void Start(const QString &AURL, bool ACheck = true) {
    qputenv("QUILLET_UPDATE_URL", AURL.toUtf8());
    Form = std::make_unique<Tfrm_Main>();
    Form->mnu_Update->setChecked(ACheck);
    Form->show();
  }
  TWebData *Check() const { return Form->findChild<TWebData *>(); }
  bool CheckEnded(int ASeconds = 20) const {
    return QTest::qWaitFor([this] { return Check() && Check()->Done(); }, ASeconds * 1000);
  }
  QTemporaryDir Config;
  TVersionServer Server;
  std::unique_ptr<Tfrm_Main> Form;
};

struct TVersionCase {
  const char *Name;
  int Status;
  QByteArray Body;
  bool Prompts;
};

class UpdateDecision : public UpdateCheck, public testing::WithParamInterface<TVersionCase> {};

TEST_P(UpdateDecision, AsksOnlyForANewerWellFormedVersion) {
  const TVersionCase &c = GetParam();
  Server.Status = c.Status;
  Server.Body = c.Body;
  TBoxRecorder boxes;
  Start(Server.URL());
  ASSERT_TRUE(CheckEnded());
  EXPECT_EQ(Server.Requests, 1);
  EXPECT_TRUE(Server.LastRequest.contains("\r\nUser-Agent: WebData\r\n"))
      << Server.LastRequest.toStdString();
  EXPECT_TRUE(Server.LastRequest.toLower().contains("cache-control: no-cache"));
  if (c.Prompts)
    EXPECT_EQ(boxes.Shown, QStringList{QStringLiteral("Update|A new version is available: ") +
                                       QString::fromLatin1(c.Body) +
                                       QStringLiteral("\n\nDo you want to visit the download "
                                                      "page now?")});
  else
    EXPECT_TRUE(boxes.Shown.isEmpty()) << boxes.Shown.join(' ').toStdString();
}

const QByteArray HtmlPage = "<html><head><title>404 Not Found</title></head>"
                            "<body><h1>Not Found</h1></body></html>";

INSTANTIATE_TEST_SUITE_P(
    VersionFiles, UpdateDecision,
    testing::Values(
        TVersionCase{"Newer_6_2", 200, "6.2", true},
        TVersionCase{"MinorAsNumber_6_10", 200, "6.10", true},
        TVersionCase{"NewerMajor_7_0", 200, "7.0", true},
        TVersionCase{"TwoDigitMajor_10_0", 200, "10.0", true},
        TVersionCase{"Same_6_1", 200, "6.1", false}, TVersionCase{"Older_6_0", 200, "6.0", false},
        TVersionCase{"OlderMajor_5_9", 200, "5.9", false},
        TVersionCase{"CrLf_6_2", 200, "6.2\r\n", false},
        TVersionCase{"Lf_6_2", 200, "6.2\n", false},
        TVersionCase{"TooLong_10_123", 200, "10.123", false},
        TVersionCase{"NoDot", 200, "7", false}, TVersionCase{"ThreeParts", 200, "6.2.1", false},
        TVersionCase{"Signed", 200, "+7.0", false}, TVersionCase{"Empty", 200, "", false},
        TVersionCase{"HtmlErrorPage", 404, HtmlPage, false},
        TVersionCase{"HtmlPageAsSuccess", 200, HtmlPage, false},
        TVersionCase{"ServerErrorWithAVersion", 500, "7.0", false}),
    [](const testing::TestParamInfo<TVersionCase> &info) { return std::string(info.param.Name); });

TEST_F(UpdateCheck, AServerThatNeverAnswersTimesOutSilentlyWithoutBlocking) {
  Server.Answers = false;
  TBoxRecorder boxes;
  TWebData web;
  web.URL = Server.URL();
  web.TimeOut = 2500;
  bool gotData = false;
  web.OnData = [&](TWebData *, const QString &) { gotData = true; };
  QElapsedTimer clock;
  clock.start();
  web.ThreadCollectData();
  // Generous bounds for a loaded machine: a download on this thread would hold it 2.5 s.
  EXPECT_LT(clock.elapsed(), 500);
  EXPECT_LT(LongestStall(1000), 750);
  EXPECT_EQ(Server.Requests, 1);
  EXPECT_FALSE(web.Done());
  ASSERT_TRUE(QTest::qWaitFor([&] { return web.Done(); }, 5000));
  EXPECT_GE(clock.elapsed(), 2400);
  EXPECT_FALSE(gotData);
}

TEST_F(UpdateCheck, TheWindowStaysResponsiveAndClosesAtOnceWhileTheServerIsSilent) {
  Server.Answers = false;
  TBoxRecorder boxes;
  Start(Server.URL());
  ASSERT_TRUE(QTest::qWaitFor([this] { return Server.Requests == 1; }, 5000));
  EXPECT_LT(LongestStall(500), 750);
  EXPECT_FALSE(Check()->Done());
  QElapsedTimer clock;
  clock.start();
  Form->close();
  Form.reset();
  EXPECT_LT(clock.elapsed(), 3000); // not the 15 s time-out
  EXPECT_TRUE(boxes.Shown.isEmpty());
}

TEST_F(UpdateCheck, AClosedPortEndsSilently) {
  TBoxRecorder boxes;
  Start(ClosedPortURL());
  ASSERT_TRUE(CheckEnded(5));
  EXPECT_TRUE(boxes.Shown.isEmpty());
}

TEST_F(UpdateCheck, NoRequestWhenSwitchedOffOrStartedFromTheCommandLine) {
  Server.Body = "9.9";
  TBoxRecorder boxes;
  Start(Server.URL(), false);
  QTest::qWait(500);
  EXPECT_EQ(Check(), nullptr);
  Form.reset();
  qputenv("QUILLET_UPDATE_URL", Server.URL().toUtf8());
  Form = std::make_unique<Tfrm_Main>();
  Form->CommandLine.Active = true; // an output folder, nothing to load, no mode
  Form->CommandLine.OutputFolder = Config.path() + QLatin1Char('/');
  Form->show();
  QTest::qWait(500);
  EXPECT_EQ(Check(), nullptr);
  EXPECT_EQ(Server.Requests, 0);
  EXPECT_TRUE(boxes.Shown.isEmpty());
}

} // namespace
