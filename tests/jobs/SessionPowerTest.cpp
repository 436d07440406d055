// "When done" against a stand-in for systemd-logind on a private bus: the sleep inhibitor held
// while a job runs and let go after, the countdown and its cancel, and the calls made.
#include <gtest/gtest.h>

#include "JobTestSupport.h"
#include "jobs/TSessionPower.h"
#include "jobs/Tfrm_Video.h"
#include "shell/MainThreadDispatcher.h"

#include <QComboBox>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// org.freedesktop.login1.Manager as far as the program uses it; records each call. An
// inhibitor is the write end of a pipe whose read end the fake keeps, so that it sees the
// program close it.
class TFakeLogin1 : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
  ~TFakeLogin1() override {
    for (int fd : FHeld)
      ::close(fd);
  }
  QStringList Calls;
  bool Refuse = false; // Suspend and PowerOff answer with an error, as logind without polkit's yes
  // Every inhibitor handed out has been closed by its holder.
  bool AllReleased() const {
    for (int fd : FHeld) {
      pollfd check{fd, POLLIN, 0};
      if (::poll(&check, 1, 0) != 1 || !(check.revents & POLLHUP))
        return false;
    }
    return true;
  }
  int Handed() const { return int(FHeld.size()); }

public slots:
  QDBusUnixFileDescriptor Inhibit(const QString &AWhat, const QString &AWho, const QString &AWhy,
                                  const QString &AMode) {
    Calls << QStringList{QStringLiteral("Inhibit"), AWhat, AWho, AWhy, AMode}.join(' ');
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
      return {};
    FHeld.push_back(ends[0]);
    const QDBusUnixFileDescriptor handed(ends[1]); // a copy of its own
    ::close(ends[1]);
    return handed;
  }
  void Suspend(bool AInteractive) { Record(QStringLiteral("Suspend"), AInteractive); }
  void PowerOff(bool AInteractive) { Record(QStringLiteral("PowerOff"), AInteractive); }

private:
  void Record(const QString &AMethod, bool AInteractive) {
    Calls << AMethod + (AInteractive ? QStringLiteral(" true") : QStringLiteral(" false"));
    if (Refuse)
      sendErrorReply(QDBusError::AccessDenied,
                     QStringLiteral("Interactive authentication required."));
  }
  std::vector<int> FHeld;
};

namespace {

// A private bus daemon, named as the system bus for the code under test, with the fake on it.
class SessionPower : public testing::Test {
protected:
  void SetUp() override {
    FDaemon.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--print-address"),
                   QStringLiteral("--nofork")});
    ASSERT_TRUE(FDaemon.waitForReadyRead(30000));
    const QByteArray address = FDaemon.readLine().trimmed();
    FSaved = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromUtf8(address), ServiceBus);
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.login1")));
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &Fake,
                                   QDBusConnection::ExportAllSlots));
  }
  void TearDown() override {
    QDBusConnection::disconnectFromBus(ServiceBus);
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", FSaved);
    FDaemon.kill();
    FDaemon.waitForFinished();
  }

  const QString ServiceBus = QStringLiteral("fake-login1");
  TFakeLogin1 Fake;
  QWidget Window;

private:
  QProcess FDaemon;
  QByteArray FSaved;
};

TEST_F(SessionPower, HoldsTheInhibitorWhileTheJobRunsAndLetsGoAfter) {
  TSessionPower power(&Window);
  power.JobStarted(3);
  ASSERT_TRUE(WaitFor([&] { return power.Login().Inhibiting(); }, 10));
  EXPECT_EQ(Fake.Calls,
            QStringList{QStringLiteral("Inhibit sleep:idle Quillet Converting 3 files block")});
  EXPECT_FALSE(Fake.AllReleased());
  power.JobEnded(false);
  EXPECT_FALSE(power.Login().Inhibiting());
  EXPECT_TRUE(WaitFor([&] { return Fake.AllReleased(); }, 10));
  EXPECT_FALSE(power.CountingDown()); // "Do nothing"
}

// An inhibitor asked for by a job that ended before logind answered is let go at once.
TEST_F(SessionPower, ALateInhibitorIsNotKept) {
  TSessionPower power(&Window);
  power.JobStarted(1);
  power.JobEnded(true);
  ASSERT_TRUE(WaitFor([&] { return Fake.Handed() == 1 && Fake.AllReleased(); }, 10));
  EXPECT_FALSE(power.Login().Inhibiting());
}

struct TActionCase {
  TWhenDone choice;
  const char *call; // what logind hears; empty for none
  bool closes;
};

void PrintTo(const TActionCase &c, std::ostream *os) {
  *os << int(c.choice);
}

class SessionPowerActions : public SessionPower, public testing::WithParamInterface<TActionCase> {};

TEST_P(SessionPowerActions, CountsDownThenCarriesOutTheChoice) {
  const TActionCase &c = GetParam();
  bool closed = false;
  TSessionPower power(&Window, [&] { closed = true; });
  power.CreateChoice(&Window)->setCurrentIndex(int(c.choice));
  power.SetCountdownSeconds(1);
  power.JobStarted(1);
  power.JobEnded(false);
  EXPECT_TRUE(power.CountingDown());
  ASSERT_TRUE(WaitFor([&] { return !power.CountingDown(); }, 10));
  if (*c.call) {
    ASSERT_TRUE(WaitFor([&] { return Fake.Calls.contains(QString::fromLatin1(c.call)); }, 10))
        << Fake.Calls.join(", ").toStdString();
  }
  EXPECT_EQ(closed, c.closes);
  EXPECT_EQ(Fake.Calls.filter(QStringLiteral("Inhibit")).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(WhenDone, SessionPowerActions,
                         testing::Values(TActionCase{TWhenDone::CloseProgram, "", true},
                                         TActionCase{TWhenDone::Suspend, "Suspend false", false},
                                         TActionCase{TWhenDone::PowerOff, "PowerOff false",
                                                     false}));

// Cancel in the countdown's message box, or a job that was stopped: nothing happens.
TEST_F(SessionPower, CancelAndAStoppedJobDoNothing) {
  TSessionPower power(&Window);
  power.CreateChoice(&Window)->setCurrentIndex(int(TWhenDone::PowerOff));
  power.JobEnded(true);
  EXPECT_FALSE(power.CountingDown());
  power.JobEnded(false);
  ASSERT_TRUE(power.CountingDown());
  auto *box = Window.findChild<QMessageBox *>();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), QStringLiteral("Powering off in 30 s."));
  box->button(QMessageBox::Cancel)->click();
  EXPECT_FALSE(power.CountingDown());
  EXPECT_TRUE(Fake.Calls.isEmpty());
}

// logind's refusal is shown, not lost.
TEST_F(SessionPower, ARefusedSuspendIsShown) {
  Fake.Refuse = true;
  TSessionPower power(&Window);
  power.CreateChoice(&Window)->setCurrentIndex(int(TWhenDone::Suspend));
  power.SetCountdownSeconds(0);
  power.JobEnded(false);
  QMessageBox *box = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (box = Window.findChild<QMessageBox *>()) != nullptr; }, 10));
  EXPECT_EQ(box->text(), QStringLiteral("Could not suspend: Interactive authentication required."));
}

// The job window takes the inhibitor when its job starts and suspends once it is done.
TEST_F(SessionPower, TheJobWindowSuspendsWhenDone) {
  InstallMainThreadDispatcher(qApp);
  QTemporaryDir out;
  TJobRecord job;
  job.Entries = {EntryFor(QString::fromUtf8(QUILLET_FIXTURES "/tiny.mp4"))};
  job.Options = QStringLiteral("-c:v mpeg4");
  job.OutputPath = out.path() + QLatin1Char('/');
  job.VideoFormat = QStringLiteral("AVI");
  Tfrm_Video window(nullptr, job);
  window.cb_WhenDone->setCurrentIndex(int(TWhenDone::Suspend));
  window.findChild<TSessionPower *>()->SetCountdownSeconds(0);
  window.show();
  ASSERT_TRUE(WaitFor([&] { return window.btn_Close->isEnabled() && window.Completed(); }));
  ASSERT_TRUE(WaitFor([&] { return Fake.Calls.size() == 2 && Fake.AllReleased(); }, 10))
      << Fake.Calls.join(", ").toStdString();
  EXPECT_EQ(Fake.Calls,
            (QStringList{QStringLiteral("Inhibit sleep:idle Quillet Converting 1 file block"),
                         QStringLiteral("Suspend false")}));
}

} // namespace

#include "SessionPowerTest.moc"
