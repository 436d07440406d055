#include "jobs/TLoginManager.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString Service = QStringLiteral("org.freedesktop.login1");
const QString Path = QStringLiteral("/org/freedesktop/login1");
const QString Manager = QStringLiteral("org.freedesktop.login1.Manager");

QString UniqueBusName() {
  static int count = 0;
  return QStringLiteral("quillet-login1-%1").arg(++count);
}

// The system bus, at DBUS_SYSTEM_BUS_ADDRESS when that is set. Read here on each connection:
// the D-Bus library reads it once per process.
QDBusConnection SystemBus(const QString &AName) {
  const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
  return address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, AName)
                           : QDBusConnection::connectToBus(address, AName);
}

} // namespace

TLoginManager::TLoginManager(QObject *AParent)
    : QObject(AParent), FBusName(UniqueBusName()), FBus(SystemBus(FBusName)) {}

TLoginManager::~TLoginManager() {
  Release();
  QDBusConnection::disconnectFromBus(FBusName);
}

void TLoginManager::Inhibit(const QString &AWhy) {
  Release();
  const int request = ++FInhibitRequest;
  QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Manager, "Inhibit");
  call << QStringLiteral("sleep:idle") << QStringLiteral("Quillet") << AWhy
       << QStringLiteral("block");
  auto *watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, request] {
    watcher->deleteLater();
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
    if (reply.isError()) {
      emit Failed(QStringLiteral("Inhibit"), reply.error().message());
      return;
    }
    if (request != FInhibitRequest)
      return; // released meanwhile: the reply's descriptor closes with it
    FInhibitor = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    emit Inhibited();
  });
}

void TLoginManager::Release() {
  FInhibitRequest++;
  if (FInhibitor >= 0)
    ::close(FInhibitor);
  FInhibitor = -1;
}

void TLoginManager::Suspend() {
  CallManager(QStringLiteral("Suspend"));
}

void TLoginManager::PowerOff() {
  CallManager(QStringLiteral("PowerOff"));
}

void TLoginManager::CallManager(const QString &AMethod) {
  QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Manager, AMethod);
  call << false; // not interactive: no authentication dialog
  auto *watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, AMethod] {
    watcher->deleteLater();
    if (watcher->isError())
      emit Failed(AMethod, watcher->error().message());
  });
}
