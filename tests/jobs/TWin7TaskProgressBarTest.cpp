// The taskbar progress indicator: setter semantics with and without the launcher service. The
// service case runs against a private D-Bus session daemon and checks the signals it carries.
#include "jobs/taskbar/TWin7TaskProgressBar.h"

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

class TWin7TaskProgressBarTest : public QObject {
  Q_OBJECT
  QProcess FDaemon;
  QString FAddress;
  QList<QVariantMap> FReceived;
  QStringList FUris;

  QDBusConnection Bus(const QString &name) { return QDBusConnection::connectToBus(FAddress, name); }

  double LastProgress() const {
    for (auto it = FReceived.crbegin(); it != FReceived.crend(); ++it)
      if (it->contains(QStringLiteral("progress")))
        return it->value(QStringLiteral("progress")).toDouble();
    return -1;
  }

public slots:
  void OnUpdate(const QString &uri, const QVariantMap &properties) {
    FUris.append(uri);
    FReceived.append(properties);
  }

private slots:
  void initTestCase() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
      return;
    FDaemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--print-address=1")});
    if (FDaemon.waitForStarted() && FDaemon.waitForReadyRead(5000))
      FAddress = QString::fromUtf8(FDaemon.readLine()).trimmed();
  }

  void cleanupTestCase() {
    QDBusConnection::disconnectFromBus(QStringLiteral("listener"));
    QDBusConnection::disconnectFromBus(QStringLiteral("sender"));
    FDaemon.kill();
    FDaemon.waitForFinished();
  }

  void withoutServiceOnlyRecords_data() {
    QTest::addColumn<quintptr>("handle");
    QTest::addColumn<bool>("connectedBus");
    QTest::newRow("no session bus") << quintptr(42) << false;
    QTest::newRow("no window handle") << quintptr(0) << true;
  }

  void withoutServiceOnlyRecords() {
    QFETCH(quintptr, handle);
    QFETCH(bool, connectedBus);
    if (connectedBus && FAddress.isEmpty())
      QSKIP("dbus-daemon is not available");
    const QDBusConnection bus =
        connectedBus ? Bus(QStringLiteral("sender"))
                     : QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                     QStringLiteral("nowhere"));
    TWin7TaskProgressBar bar(handle, bus);
    QVERIFY(!bar.glTaskBarInterface);
    QCOMPARE(bar.glHandle, uintptr_t(handle));
    // Progress is not even stored; the other setters store their value.
    bar.SetProgress(50);
    QCOMPARE(bar.Progress(), 0);
    bar.SetMax(7);
    QCOMPARE(bar.Max(), 7);
    QCOMPARE(bar.Progress(), 0);
    bar.SetStyle(tbpsError);
    QCOMPARE(bar.Style(), tbpsError);
    bar.SetVisible(true);
    QCOMPARE(bar.Style(), tbpsNormal);
    QVERIFY(bar.Visible());
    bar.SetMarquee(true);
    QCOMPARE(bar.Style(), tbpsIndeterminate);
    bar.SetMarquee(false);
    QCOMPARE(bar.Style(), tbpsNormal);
    bar.SetVisible(false);
    QCOMPARE(bar.Style(), tbpsNone);
  }

  void stateFlags_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("flag");
    QTest::newRow("none") << int(tbpsNone) << 0;
    QTest::newRow("indeterminate") << int(tbpsIndeterminate) << 1;
    QTest::newRow("normal") << int(tbpsNormal) << 2;
    QTest::newRow("error") << int(tbpsError) << 4;
    QTest::newRow("paused") << int(tbpsPaused) << 8;
  }

  void stateFlags() {
    QFETCH(int, style);
    QFETCH(int, flag);
    QCOMPARE(TaskBarStateFlag(TTaskBarProgressStyle(style)), flag);
  }

  void withServiceSendsLauncherUpdates() {
    if (FAddress.isEmpty())
      QSKIP("dbus-daemon is not available");
    QDBusConnection listener = Bus(QStringLiteral("listener"));
    QVERIFY(listener.connect(QString(), QString(),
                             QStringLiteral("com.canonical.Unity.LauncherEntry"),
                             QStringLiteral("Update"), this, SLOT(OnUpdate(QString, QVariantMap))));
    auto bar = std::make_unique<TWin7TaskProgressBar>(42, Bus(QStringLiteral("sender")));
    QVERIFY(bar->glTaskBarInterface);
    // Creation: maximum 100, value 10, then hidden.
    QCOMPARE(bar->Max(), 100);
    QCOMPARE(bar->Progress(), 10);
    QCOMPARE(bar->Style(), tbpsNone);
    QVERIFY(!bar->Visible());
    const TLauncherEntry &entry = *bar->glTaskBarInterface;
    QCOMPARE(entry.LastSent().value(QStringLiteral("progress")).toDouble(), 0.1);
    QCOMPARE(entry.LastSent().value(QStringLiteral("progress-visible")).toBool(), false);

    // A job starts.
    bar->SetVisible(true);
    QCOMPARE(bar->Style(), tbpsNormal);
    QCOMPARE(entry.LastSent().value(QStringLiteral("progress-visible")).toBool(), true);
    bar->SetProgress(3);
    QCOMPARE(entry.LastSent().value(QStringLiteral("progress")).toDouble(), 0.03);
    // A new maximum re-sends the value against it.
    bar->SetMax(4);
    QCOMPARE(bar->Progress(), 3);
    QCOMPARE(entry.LastSent().value(QStringLiteral("progress")).toDouble(), 0.75);
    // Error asks for attention; Visible := True switches back to normal.
    bar->SetStyle(tbpsError);
    QCOMPARE(entry.LastSent().value(QStringLiteral("urgent")).toBool(), true);
    bar->SetVisible(true);
    QCOMPARE(bar->Style(), tbpsNormal);
    QCOMPARE(entry.LastSent().value(QStringLiteral("urgent")).toBool(), false);
    // Visible := True while already normal sends nothing.
    const int sent = entry.SentCount();
    bar->SetVisible(true);
    QCOMPARE(entry.SentCount(), sent);
    // During the marquee values are stored but not shown; leaving it shows the last value.
    bar->SetMarquee(true);
    QCOMPARE(bar->Style(), tbpsIndeterminate);
    bar->SetProgress(2);
    QCOMPARE(bar->Progress(), 2);
    QCOMPARE(entry.LastSent().value(QStringLiteral("progress")).toDouble(), 0.75);
    bar->SetMarquee(false);
    QCOMPARE(bar->Style(), tbpsNormal);
    QCOMPARE(entry.LastSent().value(QStringLiteral("progress")).toDouble(), 0.5);
    // Values outside 0..Max are clamped for the launcher.
    bar->SetProgress(9);
    QCOMPARE(entry.LastSent().value(QStringLiteral("progress")).toDouble(), 1.0);
    bar->SetMax(0);
    QCOMPARE(entry.LastSent().value(QStringLiteral("progress")).toDouble(), 0.0);

    // The signals reach the bus; destruction hides the progress.
    const int expected = entry.SentCount() + 1;
    bar.reset();
    QTRY_COMPARE(FReceived.size(), expected);
    QCOMPARE(FUris.first(), QString::fromLatin1(TWin7TaskProgressBar::DefaultAppUri));
    QCOMPARE(FReceived.last().value(QStringLiteral("progress-visible")).toBool(), false);
    QCOMPARE(LastProgress(), 0.0);
  }
};

QTEST_GUILESS_MAIN(TWin7TaskProgressBarTest)
#include "TWin7TaskProgressBarTest.moc"
